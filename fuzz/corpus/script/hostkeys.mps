; host keywords and RESULT
tick
say RESULT
tick
say RESULT
note one "two words" 3+4
nosuch thing
say RESULT
exit
