; suspending trinket links by class reaches only that class, and the window
; keeps the bits for trinkets made later; without a class, every trinket
; (fly on 128 and mouse up 2 make 130, key down is 32)
yield on
plain=Patch
member=Swatch
classlinks suspend 130 Swatch
mask "member"
say classed RESULT
mask "plain"
say other RESULT
mask window
say window RESULT
later=Patch
mask "later"
say made after RESULT
classlinks resume 2 Swatch
mask "member"
say classed RESULT
mask window
say window RESULT
classlinks suspend 32 all
mask "plain"
say other RESULT
classlinks resume 160 all
mask "plain"
say other RESULT
mask "member"
say classed RESULT
exit
