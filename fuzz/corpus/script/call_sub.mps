say in sub x
exit
