; a procedure that calls itself from inside its loop keeps every loop frame
; open and stops at the loop limit (128); a timer still reports
yield off
schedule 1 report
n=0
call nest
procedure nest
[
  for i 1 2
  [
    n=n+1
    call nest
  ]
]
procedure report
[
  say n
  exit
]
