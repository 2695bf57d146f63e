; The wall clock, busy on a thread of its own (main.mps starts it). Its
; pendulum swings for ever and ticks at each end of the swing: the sound
; entries sit in the animation's file before those frames. Every few seconds
; the clock stops to listen, then swings on; a click makes it skip a beat.
; Threads share their variables, so the names here are the clock's own.
; Each handler runs through in the timer or event that started it.
yield off
clock=KvAnimation 0 0 20
set clock x 296
set clock y 24
set clock movable 0
play clock forever
set clock mouseDown clockClicked
schedule 6 clockRest
wait

procedure clockRest
[
  set clock frame 1
  schedule 1 clockSwing
]

procedure clockSwing
[
  play clock forever
  schedule 6 clockRest
]

procedure clockClicked
[
  set clock frame 5
  play clock forever
]
