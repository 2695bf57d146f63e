; The events of an animation. A copy has the original's frame notification
; and raises its own events: the original, paused, raises none. The third
; sequence (cel 0, a user command, cel 1, a pause entry, cel 0, end) raises
; "special" at the second position, which turns frame notification off, so
; that "paused" finds one notification only. Each handler is one statement:
; an event arriving while a handler runs ends it.
yield off
notes=0
copyNotes=0
c=KvAnimation 0 0 1
set c frameNotification 1
d=c
set c frame 1
set c frameNotify oncopied
set d frameNotify oncopy
schedule 1 second
wait
procedure oncopied
[
  say the original was notified
]
procedure oncopy
[
  copyNotes=copyNotes+1
]
procedure second
[
  set d frameNotification 0
  schedule 1 finish
  seen=copyNotes>0
  say copy notified seen
  a=KvAnimation 0 0 1
  set a special onspecial
  set a paused onpaused
  set a frameNotify onnote
  set a frameNotification 1
  set a sequence 3
]
procedure onnote
[
  notes=notes+1
]
procedure onspecial
[
  set a frameNotification 0
]
procedure onpaused
[
  say paused after notes notifications
]
procedure finish
[
  exit
]
