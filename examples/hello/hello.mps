; hello.mps: a first script. Run it with
;   qrn run examples/hello/hello.mps
; and read what it said in debug.txt. Words are values: a variable
; reads as its value, an unset name as itself; quote texts to keep them.
say Hello from qrn
name="a small title"
say This is name
total=0
for i 1 4
[
  total=total+i
  say adding i makes total
]
call farewell total
exit

procedure farewell sum
[
  if sum=10
    say "The sum is" sum "as expected."
  else
    say "Something went wrong:" sum
  say "Goodbye."
]
