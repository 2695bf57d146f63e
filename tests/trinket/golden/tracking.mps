; tracking: a plain tracker stops fly processing, one with the cursor keeps it;
; a tracker takes presses anywhere, is dragged by relative movement and stays
; the receiver after the release, until tracking or touchy goes off
yield on
include handlers.mps
tr=Swatch 10 10 20 20 red
o=Swatch 100 80 140 110 blue
set tr mouseDown hDown
set tr mouseUp hUp
set o mouseDown hDown
set o flyOn hOn
listen "tr"
listen "o"
set tr touchy 0
track "tr" 1 0
move 120 100
track "tr" 1 1
move 121 100
say next
set tr touchy 1
play tr place 10 10
track "tr" 1 0
press 120 100
move 125 100
get tr x trx
say dragged trx
release 125 100
which receiver
say receiver RESULT
track "tr" 0 0
which receiver
say receiver RESULT
press 122 100
release 122 100
track "tr" 1 0
set tr touchy 0
which receiver
say receiver RESULT
exit
