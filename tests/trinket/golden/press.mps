; presses: a frozen swatch takes the press but is not captured or dragged; of
; equal z the later swatch is on top, and a movable one pressed rises to the
; top of its level; a swatch whose presses are suspended lets them through to
; the one below, and so do one not touchy, one hidden, and the right edge.
; Presses do not fly on or off: releases and moves do.
yield on
include handlers.mps
s=Swatch 120 80 140 100 red
set s movable 0
set s mouseDown hDown
set s mouseUp hUp
set s flyOn hOn
listen "s"
listen background
press 125 85
which receiver
say receiver RESULT
move 127 87
get s x sx
say x sx
release 127 87
say next
a=Swatch 10 10 50 50 red
b=Swatch 40 40 80 80 blue
look 45 45
say later on top RESULT
press 15 15
which top
say top RESULT
release 15 15
look 45 45
say 45 45 RESULT
scene
say scene RESULT
set b movable 0
press 70 70
which top
say top RESULT
release 70 70
say next
below=Swatch 100 10 150 50 green
above=Swatch 110 20 130 40 yellow
listen "below"
listen "above"
links "above" 1
press 120 30
release 120 30
say next
c=Swatch 10 60 30 80 green
d=Swatch 10 60 30 80 blue
listen "c"
listen "d"
press 15 65
release 15 65
set d touchy 0
press 16 65
release 16 65
set d touchy 1
set d visible 0
press 17 65
release 17 65
set d visible 1
press 30 65
release 30 65
exit
