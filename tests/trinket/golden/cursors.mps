; the cursor is the fly-over swatch's, even when its fly links are
; suspended, and the background's when that swatch goes; a spot cursor
; assigned under the pointer shows at once; without cursor processing the
; fly-over swatch stays what it was
yield on
a=Swatch 10 10 50 50 red
b=Swatch 30 30 70 70 blue
cursor "a" spot
cursor "b" spot
; b's fly on, a's fly off suspended
links "b" 128
links "a" 256
cursor background
shown
say start RESULT
move 15 15
shown
say 15 RESULT
move 40 40
shown
say 40 RESULT
move 100 100
shown
say 100 RESULT
move 15 15
shown
say 15 RESULT
move 40 40
shown
say 40 RESULT
move 60 60
shown
say 60 RESULT
drop b
shown
say b gone RESULT
move 15 15
cursor "a" again
shown
say assigned RESULT
processcursor 0
move 100 100
which flyover
say flyover RESULT
exit
