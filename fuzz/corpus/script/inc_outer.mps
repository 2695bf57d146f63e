say outer starts
include inc_inner.mps
say outer resumes
