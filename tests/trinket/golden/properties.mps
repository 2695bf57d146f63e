; a swatch's script properties, each read back after it is set
s=Swatch
set s x 25
set s y -4
get s x a
get s y b
get s width w
get s height h
say place a b size w h
; read-only: the width stays
set s width 40
get s width w
say width w
set s visible 0
set s movable 0
set s touchy 0
set s z 99999
set s tag 12
get s visible v
get s movable m
get s touchy t
get s z zz
get s tag g
say flags v m t z zz tag g
; like atoi
set s x junk
get s x a
say junk a
play s place 30 40
get s x a
get s y b
say placed a b
play s offset -5 7
get s x a
get s y b
say offset a b
; offsets stay in the corral, places do not
play s offset 1000 0
get s x a
say held a
; a copy has its own properties
c=s
set c x 50
get c x a
get s x b
say copy a original b
exit
