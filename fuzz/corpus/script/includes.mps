say before include
include inc_outer.mps
say after include
exit
