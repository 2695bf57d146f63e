; endless recursion stops at the call limit (2048); a timer still reports
yield off
schedule 1 report
n=0
call deeper
say unreachable
procedure deeper
[
  n=n+1
  call deeper
]
procedure report
[
  say n
  exit
]
