; the corral holds offsets unless normalisation is off for the swatch or for
; all; with corral clipping the swatch is drawn only inside its corral, and
; its clip ends with its drawing: a swatch drawn after it, beyond that corral,
; is drawn whole
yield on
s=Swatch 140 50 160 70 red
normalize "s" 0
play s offset 30 0
get s x sx
say own off sx
normalize "s" 1
normalize all 0
play s offset 5 0
get s x sx
say all off sx
normalize all 1
c=Swatch 10 10 40 40 green
corral "c" 0 0 30 30 1
look 20 20
say inside RESULT
look 35 35
say outside RESULT
look 35 15
say outside RESULT
d=Swatch 100 80 120 100 blue
look 110 90
say beyond RESULT
exit
