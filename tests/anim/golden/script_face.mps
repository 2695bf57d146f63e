; The script face of an animation of the scene (file 1): creation with the
; position embedded in the file, the properties read back as numbers, the
; trinket's own properties, the methods, and a file that is not there.
a=KvAnimation 10 20 1
get a x x
get a y y
get a width w
get a height h
say at x y size w h
b=KvAnimation 10 20 2
say missing file b
; sequences count from 1
get a sequence s
say sequence s
set a sequence 2
get a sequence s
say sequence s
set a sequence 1
set a frame 2
get a frame f
say frame f
set a frame none
get a frame f
say frame f after none
; the fields of the current entry (cel 1 of frame 2): 1 the cel, 2 x, 3 y, 4 param
set a param 2 -3
set a param 3 7
set a param 4 60000
get a param 1 p1
get a param 2 p2
get a param 3 p3
get a param 4 p4
get a param 9 p9
say param p1 p2 p3 p4 p9
set a soundOn 1
set a boxTouchy 1
set a frameNotification 1
get a soundOn so
get a boxTouchy bt
get a frameNotification fn
say flags so bt fn
; a quarter turn swaps the sides (of cel 0, 6 x 2) about the top-left corner
set a frame 1
set a drawDirection 4
get a drawDirection d
get a width w
get a height h
say direction d size w h
play a stamp
get a visible v
say stamped visible v
play a unstamp
get a visible v
say unstamped visible v
drop a
exit
