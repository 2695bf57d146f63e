#!/usr/bin/env bash
# Rebuilds the carousel's assets: the PNG strips in art/ (drawn by
# art/make_art.py), packed into ao/N.ao by `qrn pack`, and palette.plt.
# Each file carries the position carousel.mps places it at, so the title
# looks the same whether positions come from the files (the default) or
# from the script (qrn run --script-positions): the mirrored wheel and the
# upside-down flag are the same art packed again at their own positions.
set -euo pipefail
cd "$(dirname "$0")"
qrn=${QRN:-../../build/apps/qrn}
python3 art/make_art.py
mkdir -p ao
"$qrn" pack --frames 8 --fps 12 --position 24,44 --write-palette palette.plt art/wheel.png ao/1.ao
"$qrn" pack --frames 8 --fps 10 --position 88,28 art/ball.png ao/2.ao
"$qrn" pack --frames 4 --fps 6 --position 140,48 art/flag.png ao/3.ao
"$qrn" pack --frames 8 --fps 12 --position 216,44 art/wheel.png ao/4.ao
"$qrn" pack --frames 4 --fps 6 --position 272,48 art/flag.png ao/5.ao
