say sub
drop script stack
exit
