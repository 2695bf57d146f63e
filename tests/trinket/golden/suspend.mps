; suspended updates draw into the collector but blit nothing, not even on
; later ticks after the resume; a blit of everything then shows what was
; drawn, and sneaking updates blits even while suspended
yield on
s=Swatch 10 10 30 30 red
suspendupdates
play s place 50 50
look 55 55
say moved RESULT
look 15 15
say old place RESULT
resumeupdates
look 15 15
look 15 15
say resumed RESULT
blit
scene
say blit RESULT
suspendupdates
sneak 1
play s place 80 80
look 85 85
say sneaked RESULT
scene
say scene RESULT
exit
