; keys go to the focus swatch, hidden or not, else to the window; one focus
; for all, and losing it (to another, to itself again, by deletion) calls
; the lost-focus link
yield on
a=Swatch 10 10 30 30 red
b=Swatch 50 10 70 30 blue
listen "a"
listen "b"
listen window
key 1
focus "a"
key 2
set a visible 0
key 3
focus "b"
key 4
links "b" 32
key 5
unfocus "b"
key 6
focus "b"
focus "b"
unfocus "a"
drop b
which focus
say focus RESULT
exit
