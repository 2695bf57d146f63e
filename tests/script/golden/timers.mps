; a timer's handler finds its keyword in RECEIVER
schedule 1 p
wait
procedure p
[
  say RECEIVER
  exit
]
