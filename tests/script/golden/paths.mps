; paths read and write the variable their parts name; an empty part is
; left out
i=3
ball.i=red
say ball.3 ball.i
i=4
say ball.i
e=""
a.4=four
say a.e.i
; a part never assigned: the path stands for a plain variable of its own name
say cup.k
cup.k=full
say cup.k cup.1
; a resolved name beyond 127 characters is refused: the path reads as its name
p=pppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppp
q=qqqqqqqqqqqqqqqqqqqqqq
head.p.q=refused
say head.p.q
q=qqqqqqqqqqqqqqqqqqqqq
head.p.q=fits
say head.p.q head.pppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppp.qqqqqqqqqqqqqqqqqqqqq
exit
