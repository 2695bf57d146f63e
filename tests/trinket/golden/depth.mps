; swatches below the window's z depth are neither drawn nor hit; the depth
; keeps within -32767 and 32764
yield on
zdepth 3
say depth RESULT
low=Swatch 10 10 30 30 red
high=Swatch 40 10 60 30 blue
set high z 5
look 20 20
say under the depth RESULT
look 50 20
say over it RESULT
listen background
press 20 20
release 20 20
zdepth -40000
say depth RESULT
zdepth 40000
say depth RESULT
exit
