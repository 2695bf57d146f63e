; hiding is not deletion: a fly-off handler hiding the next swatch does not
; take that swatch's fly on, but its spot cursor does not show
yield on
include handlers.mps
a=Swatch 10 10 30 30 red
b=Swatch 30 10 50 30 blue
set a flyOn hOn
set a flyOff hideB
set b flyOn hOn
cursor "b" spot
cursor background
listen "a"
listen "b"
move 15 15
move 35 15
shown
say cursor RESULT
exit
procedure hideB
[
  say flyOff hides the next one
  set b visible 0
]
