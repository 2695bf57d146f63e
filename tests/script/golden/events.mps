; events: binding, rebinding, a copy with its own binding, RECEIVER
yield off
g=Gadget red
set g ping onping
set g ping onping2
h=g
set h label blue
poke "g" ping
poke "h" ping
set g ping
poke "g" ping
say unbound
get g label l
get h label m
say labels l m
get g id gi
say id gi
; without a target word, the property's word names the variable
get g label
say label
exit
procedure onping
[
  say first handler
]
procedure onping2
[
  get RECEIVER name who
  get RECEIVER label l
  say second handler from who l
]
