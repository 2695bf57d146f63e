; scaling stretches an 80 x 60 collector over the window; the scaled size
; is at most the window, and the collector's own size turns scaling off
yield on
collector 80 60
scale 160 120
say RESULT
a=Swatch 10 10 20 20 red
look 21 21
say 21 RESULT
look 38 38
say 38 RESULT
look 41 41
say 41 RESULT
scale 500 500
say RESULT
scale 0 0
say RESULT
exit
