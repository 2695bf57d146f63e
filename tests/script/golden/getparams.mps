; a get passes the words between the property and the target, resolved,
; as parameters; the target is none of them
e=Echo
get e seen a "b c" 1+2 x
say x
get e seen y
say y ok
exit
