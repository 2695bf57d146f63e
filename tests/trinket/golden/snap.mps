; snapping goes to the nearest grid line, the lower one on a tie, on an axis
; with a spacing only, and only while the box overlaps the snap area
yield on
s=Swatch 15 7 25 17 red
snap "s" 10 0 0 0
get s x sx
get s y sy
say 15 sx sy
play s place 16 7
snap "s" 10 0 0 0
get s x sx
say 16 sx
play s place 14 7
snap "s" 10 0 0 0
get s x sx
say 14 sx
play s place 20 7
snap "s" 10 0 0 0
get s x sx
say 20 sx
play s place 18 7
snap "s" 10 0 3 0
get s x sx
say 18 origin 3 sx
play s place 19 7
snap "s" 10 0 3 0
get s x sx
say 19 origin 3 sx
play s place 45 7
snap "s" 4 0 0 0
get s x sx
say 45 by 4 sx
play s place 15 15
snap "s" 10 10 0 0 100 100 150 110
get s x sx
get s y sy
say area elsewhere sx sy
snap "s" 10 10 0 0 20 20 30 30
get s x sx
get s y sy
say area over sx sy
exit
