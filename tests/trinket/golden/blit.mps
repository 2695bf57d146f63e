; the screen shows the collector shifted by the blit offsets; a blit
; repaints the given part of the window (in window coordinates) from the
; collector, and a blit of everything repaints the whole window
yield on
collector 320 240
offsets 100 50
a=Swatch 120 70 140 90 red
b=Swatch 10 10 40 40 blue
scene
say scene RESULT
look 25 25
say 25 RESULT
look 15 15
say 15 RESULT
scribble
blit 0 0 30 30
look 25 25
say 25 RESULT
look 5 5
say 5 RESULT
look 35 35
say 35 RESULT
blit
scene
say scene RESULT
exit
