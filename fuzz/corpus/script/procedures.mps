; procedures: straight-line flow skips a body, call binds parameters by value
procedure greet who how
[
  say greet: who how
]
say start
call greet alice kindly
a=bob
call greet a
call greet
procedure twice x
[
  call greet x x
  call greet x
]
call twice carol
say greet
q=greet
call q dave quietly
r=1
call fact 5
say factorial r
exit
; procedures may stand after the end too; a body ends where its block ends
procedure fact n
[
  if n>1
  [
    r=r*n
    call fact n-1
  ]
]
