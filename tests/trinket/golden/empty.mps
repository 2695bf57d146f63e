; a press or double click on empty space goes to the background, or to the
; window when the background's link is suspended or there is no background
yield on
s=Swatch 40 40 60 60 red
listen background
listen window
press 10 20
dbl 11 21
links "background" 9
press 10 20
dbl 11 21
links "background" 8
press 12 22
nobackground
press 10 20
exit
