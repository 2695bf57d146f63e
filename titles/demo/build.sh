#!/usr/bin/env bash
# Rebuilds the demo's files from its art: art/make_art.py draws the PNG
# strips, the sounds (snd/N.wav) and the room; qrn pack turns each strip into
# ao/N.ao (palette.plt comes from the first), and qrn bg encode compresses
# the room (art/room.png) into room.b16. Every strip stands at 0,0 in its file: the scripts
# place each animation themselves.
set -euo pipefail
cd "$(dirname "$0")"
qrn=${QRN:-../../build/apps/qrn}
python3 art/make_art.py
"$qrn" bg encode art/room.png room.b16
mkdir -p ao
pack() { "$qrn" pack "$@" >/dev/null; }
pack --frames 4 --fps 6 --write-palette palette.plt art/arrow.png ao/1.ao
pack --frames 2 --fps 4 art/ring.png ao/2.ao
pack --frames 4 --fps 8 art/red.png ao/10.ao
pack --frames 4 --fps 8 art/green.png ao/11.ao
pack --frames 4 --fps 8 art/blue.png ao/12.ao
# The pendulum ticks at each end of its swing.
pack --frames 8 --fps 8 --sound 1:1 --sound 5:1 art/clock.png ao/20.ao
pack --frames 2 --fps 5 art/firefly.png ao/21.ao
# Played once, the chest opens and stays open: the lid creaks as it starts
# to rise, light rings out as it comes up. An animation that pauses stops
# its sounds, so each is over before the last frame.
pack --frames 6 --fps 6 --hold --sound 2:3 --sound 3:4 art/chest.png ao/30.ao
# A ring of light chimes round a socket; it starts and ends empty.
pack --frames 6 --fps 8 --sound 2:2 art/flash.png ao/31.ao
