; every statement that writes or changes something visible
say hello world
say
x=3
y=x+4
say x y x*y
s="a text"
say s
t=s+" more"
say t ~t
say 7/2 6/2 1/3 7\2 7%3
say SYSTEM
say unknown
if y=7
  say seven
else
  say not seven
if y=8
  say eight
else
  say not eight
if 0
  say never
if 0x
  say zero-prefixed text is false
if ""
  say empty is true
yield on
debug anything
nosuchkeyword with words
x=
say x
z=&y
say z
a=b
say a
b=5
say a b
exit
say not reached
