; a zero box never moves and invalidates nothing; setting a box redraws
; nothing by itself, so the old picture stays until something invalidates
; it; below the window's z depth a move invalidates nothing either
yield on
zero=Swatch 0 0 -1 -1 red
s=Swatch 10 10 30 30 red
t=Swatch 100 60 120 80 blue
play zero place 5 5
play zero offset 3 4
get zero x zx
get zero y zy
say box zx zy
rect "s" 50 50 60 60
look 15 15
say old place RESULT
look 55 55
say new place RESULT
zdepth 3
play t place 130 90
look 105 65
say below the depth RESULT
look 135 95
say moved to RESULT
exit
