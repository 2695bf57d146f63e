; the consumer's script: a few lines, a sum, a pause of one unit, the end
say hello from the installed library
n=2+3
say n
pause 1
say after the pause
quit
