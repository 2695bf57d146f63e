; a call of another script file: when it exits, this script starts again
; from its beginning with an empty heap (tick counts across the restart)
tick
say main RESULT x
x=set-before-call
if RESULT=1
  call "call_sub.mps"
say main continues RESULT
relay "call_relay.mps"
say not reached
