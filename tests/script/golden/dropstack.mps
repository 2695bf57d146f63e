; "drop script stack" forgets the callers: the called script's exit ends the thread
tick
say main RESULT
call "dropstack_sub.mps"
