say relayed
quit
say not reached
