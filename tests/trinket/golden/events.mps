; the host's event link sees every event first, with its type (key 0, down 1,
; up 2, move 3, double click 4), and none while events are suspended; the
; cursor-move link gets the point in collector coordinates before the event
; link hears of the move
yield on
collector 320 240
offsets 100 50
listen events
key 65
press 3 4
move 3 4
release 3 4
dbl 3 4
suspendevents
press 3 4
key 65
resumeevents
press 3 4
exit
