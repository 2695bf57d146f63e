; arrays, paths, clones, substrings and drop with its special words
a=[red green "dark blue" 4
say a.1 a.2 a.3 a.4
i=2
say a.i
a.i=yellow
say a.2
s=abcdef
say s|3 s|3|2 s||2 s|9 s|0|2 s|5|9
k=3
n=2
say s|k|n
a.0.x=deep
drop [ a
say a.1 a.2 a.3 a.0.x
v=kept
w=v
drop var w
say v w
v=1
drop v
say v
drop wait stack schedule idle
say still running
exit
