; fly on and fly off follow the pointer in order, each suspendable on its
; own; hiding or deleting the fly-over swatch forgets it without a fly off
yield on
include handlers.mps
a=Swatch 10 10 50 50 red
b=Swatch 30 30 70 70 blue
set a flyOn hOn
set a flyOff hOff
set b flyOn hOn
set b flyOff hOff
listen "a"
listen "b"
move 5 5
move 15 15
move 16 15
move 40 40
move 100 100
links "b" 128
links "a" 256
move 15 15
move 40 40
which flyover
say flyover RESULT
set b visible 0
which flyover
say flyover RESULT
set b visible 1
links "b" 0
move 41 41
drop b
which flyover
say flyover RESULT
exit
