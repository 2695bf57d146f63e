; The demo: one room, three gems to set in their sockets. Drag each gem over
; the green tray (it stays on the tray and snaps to its cells) into the
; socket ringed in its colour; when all three are home the chest opens and
; the title ends. The clock and the firefly are busy on threads of their own
; (clock.mps, firefly.mps); this thread keeps the puzzle.
;   qrn play            (with no TITLE: this title)
;   qrn run --replay ../../tests/apps/demo/solve.txt .
; Statements run on until the thread waits, so that a handler runs through
; in the event that started it, before another event can cut in.
yield off
background "room.b16"
cursor 1 0 0
thread "clock.mps"
thread "firefly.mps"

; A word after "set" or "get" names a property by its text: no variable here
; is called after one (x, y, tag, ...).
; Gem i (1 red, 2 green, 3 blue) starts in one cell of the tray and belongs
; in the socket at x home.i, y 300, where flash.i rings when it lands.
home=[280 200 360
colour=[red green blue
done=[0 0 0
placed=0
call gem 1 10 400 420
call gem 2 11 160 380
call gem 3 12 240 420
corral "gem.1" 160 300 480 460 40 40
corral "gem.2" 160 300 480 460 40 40
corral "gem.3" 160 300 480 460 40 40
chest=KvAnimation 0 0 30
set chest x 512
set chest y 360
set chest movable 0
set chest mouseDown knock
set chest flyOn hand
set chest flyOff arrow
; Every eight seconds or so the tray hints at the next socket to fill.
idle 8 hint
say "three gems wait on the tray"
wait

procedure gem i number gx gy
[
  gem.i=KvAnimation 0 0 number
  set gem.i x gx
  set gem.i y gy
  set gem.i z 20
  set gem.i tag i
  play gem.i forever
  set gem.i mouseUp dropped
  set gem.i flyOn hand
  set gem.i flyOff arrow
  flash.i=KvAnimation 0 0 31
  set flash.i x home.i
  set flash.i y 300
  set flash.i z 10
  set flash.i touchy 0
]

procedure hand
[
  cursor 2 8 8
]

procedure arrow
[
  cursor 1 0 0
]

procedure dropped
[
  get RECEIVER tag i
  get RECEIVER x gx
  get RECEIVER y gy
  if gx=home.i
  [
    if gy=300
    [
      set RECEIVER movable 0
      set RECEIVER flyOn
      set RECEIVER flyOff
      cursor 1 0 0
      play flash.i
      done.i=1
      placed=placed+1
      say "the" colour.i "gem is home," placed "of 3"
      if placed=3
        call open
    ]
  ]
]

procedure knock
[
  if placed<3
    say "the chest is locked"
]

procedure open
[
  set chest mouseDown
  play chest
  say "the chest opens"
  schedule 3 finale
]

procedure finale
[
  say "the end"
  quit
]

procedure hint
[
  for i 1 3
  [
    if done.i=0
    [
      play flash.i
      break
    ]
  ]
]
