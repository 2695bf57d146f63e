; for with one, two and three numbers, steps, break, continue, while
for i 3
  say down i
say after i
for i 1 3
  say up i
say after i
for i 5 1 -1
  say step i
for i 0 10 5
  say fives i
for i 1 10
[
  if i=3
    continue
  if i=5
    break
  say loop i
]
say broke at i
for i 1 2
  for j 1 2
    say nest i j
n=3
for n
[
  say while n
  n=n-1
]
say n
exit
