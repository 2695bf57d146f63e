; Frame notification left on over the third sequence of the scene (cel 0, a
; user command, cel 1, a pause entry, cel 0, end): every position up to the
; frame after the pause is notified, command entries included.
notes=0
e=KvAnimation 0 0 1
set e frameNotify onnote
set e frameNotification 1
set e sequence 3
schedule 1 finish
wait
procedure onnote
[
  notes=notes+1
]
procedure finish
[
  say notified notes times
  exit
]
