; an expression reads its terms afresh every time, whatever form they take,
; and keeps them while the heap grows by many entries
v1=1
v3=2
v4=3
say v1-v3*v4
v1=5
say v1-v3*v4
v1=five
say v1-v3*v4
v1=2
say v1-v3*v4
for i 1 400
  f.i=i
say v1-v3*v4 f.400
exit
