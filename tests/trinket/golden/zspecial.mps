; z sorts the list: ordinary z is clamped and special positions lie above it
; in their own order (a position that is not one keeps the z)
yield on
a=Swatch
b=Swatch
c=Swatch
set a z 40000
set c z -3
order
say RESULT
get a z za
say clamped za
specialz "b" 2
specialz "c" 0
specialz "c" 7
get b z zb
get c z zc
say special zb zc
order
say RESULT
exit
