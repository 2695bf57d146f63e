; a swatch sliding under the resting pointer flies on at once, unless only
; moves of the pointer count: then it is the fly-over swatch without its fly
; on, and flies off all the same when the pointer leaves it
yield on
include handlers.mps
s=Swatch 100 100 120 120 red
t=Swatch 60 10 80 30 blue
set s flyOn hOn
set s flyOff hOff
set t flyOn hOn
set t flyOff hOff
listen "s"
listen "t"
move 15 15
rect "s" 10 10 30 30
which flyover
say flyover RESULT
move 65 15
say next
moveonly 1
move 140 60
rect "s" 130 50 150 70
which flyover
say flyover RESULT
move 65 15
exit
