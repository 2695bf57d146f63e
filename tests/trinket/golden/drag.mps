; dragging: a swatch follows the pointer, holds at the corral edge until the
; pointer comes back as far as it went past, and the release lets go of the
; edge. Suspended releases and moves go to the background and keep the
; capture; double clicks reach the swatch under the pointer or the background.
yield on
include handlers.mps
s=Swatch 140 50 160 70 red
press 145 55
move 175 55
get s x sx
say past sx
move 165 55
get s x sx
say back sx
move 135 55
get s x sx
say follows sx
move 180 55
release 180 55
which receiver
say receiver RESULT
press 150 55
move 140 55
get s x sx
say again sx
release 140 55
scene
say scene RESULT
t=Swatch 10 10 30 30 green
set t mouseDown hDown
set t mouseUp hUp
set t flyOn hOn
set t dblClick hDbl
listen "t"
listen background
links "t" 6
press 15 15
move 20 20
get t x tx
say held tx
release 20 20
which receiver
say receiver RESULT
links "t" 4
release 20 20
which receiver
say receiver RESULT
dbl 25 25
dbl 50 50
exit
