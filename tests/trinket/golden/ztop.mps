; z sorts the list: ordinary z is clamped and the three top positions lie
; above it in their own order (a position that is not one keeps the z)
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
topz "b" 2
topz "c" 0
topz "c" 7
get b z zb
get c z zc
say top zb zc
order
say RESULT
exit
