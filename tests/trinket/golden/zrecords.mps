; zop and zbottom go past z records that only grow outwards; top z
; leaves the records alone
yield on
x=Swatch
y=Swatch
w=Swatch
set x z 7
set w z -4
zop "y"
zbottom "x"
get y z zy
get x z zx
say zop zy zbottom zx
order
say RESULT
; the record stays at 8
set y z 0
zop "w"
topz "x" 1
zop "y"
get w z zw
get y z zy
say zop zw zop again zy
exit
