; a little of everything that lives in the heap
a=[one "two words" 3.25
s=abcdef
n=0
for i 1 3
  n=n+i*2
call show a.2 n
if n>10
  say big n/4
else
  say small
say a.1 a.3 s|2|3
exit
procedure show x y
[
  say shown x y
]
