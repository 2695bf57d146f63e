; A firefly, busy on a thread of its own (main.mps starts it): it blinks for
; ever and drifts from point to point of its round by the window, one step
; every few tenths of a second. It cannot be caught: it is not touchy.
; Threads share their variables, so the names here are the firefly's own.
; Each handler runs through in the timer or event that started it.
yield off
flyX=[90 130 175 215 240 215 175 130
flyY=[230 215 225 240 265 255 270 250
flyStep=0
fly=KvAnimation 0 0 21
set fly touchy 0
set fly z 30
play fly forever
call flit
wait

procedure flit
[
  flyStep=flyStep%8+1
  set fly x flyX.flyStep
  set fly y flyY.flyStep
  schedule 0.4 flit
]
