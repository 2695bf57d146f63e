; an alias shares its object (and its binding), a copy gets a binding of its
; own; a born handler runs for every copy with the newborn as RECEIVER
yield off
g=Gadget one
set g ping onping
a=&g
c=g
poke "g" ping
poke "a" ping
poke "c" ping
set Gadget born onborn
r=Gadget red
say made
h=r
say copied
exit
procedure onborn
[
  get RECEIVER label l
  get RECEIVER id i
  say born l i
]
procedure onping
[
  get RECEIVER name n
  say ping n
]
