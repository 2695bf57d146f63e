; the window gathers the highest update rate its swatches ask for, and still
; asks one whose updates are suspended (512), which then updates no more
yield on
a=Swatch
b=Swatch
rate "a" 30
rate "b" 12
look 0 0
maxrate
say most RESULT
links "a" 512
updates "a"
say updates RESULT
look 0 0
look 0 0
updates "a"
say updates RESULT
maxrate
say most RESULT
exit
