; backdrop.mps: backgrounds and a cursor. Run it with
;   qrn run --size 320x200 --screenshot backdrop.png backdrop.mps
; The files are found next to the script: hall.ao, an AO picture, room.b16,
; a compressed 15-bit image, and ao/1.ao, the cursor's animation.
background "hall.ao"
say "background:" RESULT
background "room.b16"
say "background:" RESULT
cursor 2
say "cursor:" RESULT
cursor 1 0 0
say "cursor:" RESULT
quit
