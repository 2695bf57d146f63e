say inner one
say inner two
