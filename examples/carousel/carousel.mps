; carousel.mps: animations made by the project itself. The PNG strips in
; art/ were packed into ao/1.ao (a wheel), ao/2.ao (a bouncing ball) and
; ao/3.ao (a flag), and again into ao/4.ao and ao/5.ao, by build.sh with
; "qrn pack". Each file holds the position written here beside it, where the
; animation appears. Run it from this folder:
;   qrn run --size 360x120 --screenshot carousel.png carousel.mps
; Each animation starts paused on its first frame; "forever" keeps it going.
wheel=KvAnimation 24 44 1
ball=KvAnimation 88 28 2
flag=KvAnimation 140 48 3
; a second wheel, mirrored left to right, and the flag upside down
mirror=KvAnimation 216 44 4
set mirror drawDirection 1
low=KvAnimation 272 48 5
set low drawDirection 2
play wheel forever
play ball forever
play flag forever
play mirror forever
play low forever
pause 1
get wheel frame f
get ball width w
get ball height h
get flag sequence s
say "after a while the wheel shows frame" f
say "the ball is" w "by" h "pixels, the flag plays sequence" s
quit
