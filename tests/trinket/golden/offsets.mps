; with blit offsets, presses arrive in collector coordinates; one outside the
; part of the collector the window shows goes to the window
yield on
collector 320 240
offsets 100 50
include handlers.mps
listen background
listen window
press 10 10
press -5 10
s=Swatch 120 70 140 90 red
set s mouseDown hDown
set s mouseUp hUp
set s flyOn hOn
listen "s"
press 25 25
release 25 25
exit
