; backdrop.mps: a background and a cursor. Run it with
;   qrn run examples/backdrop/backdrop.mps
; The files are found next to the script: room.b16, a compressed 15-bit
; image, hall.ao, an AO picture, and ao/1.ao, the cursor's animation.
background "room.b16"
say "background:" RESULT
cursor 1 0 0
say "cursor:" RESULT
background "hall.ao"
say "background:" RESULT
cursor 2
say "cursor:" RESULT
quit
