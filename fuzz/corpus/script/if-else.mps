x = 1
if x = 1
  say "one"
else
  say "other"
end
