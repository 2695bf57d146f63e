; event handlers for the golden scripts: each says which swatch passed which event
procedure hDown
[
  get RECEIVER name nm
  say nm mouseDown
]
procedure hUp
[
  get RECEIVER name nm
  say nm mouseUp
]
procedure hDbl
[
  get RECEIVER name nm
  say nm dblClick
]
procedure hOn
[
  get RECEIVER name nm
  say nm flyOn
]
procedure hOff
[
  get RECEIVER name nm
  say nm flyOff
]
