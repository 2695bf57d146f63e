#!/usr/bin/env bash
# Rebuilds the carousel's assets: the PNG strips in art/ (drawn by
# art/make_art.py), packed into ao/N.ao by `qrn pack`, and palette.plt.
set -euo pipefail
cd "$(dirname "$0")"
qrn=${QRN:-../../build/apps/qrn}
python3 art/make_art.py
mkdir -p ao
"$qrn" pack --frames 8 --fps 12 --write-palette palette.plt art/wheel.png ao/1.ao
"$qrn" pack --frames 8 --fps 10 art/ball.png ao/2.ao
"$qrn" pack --frames 4 --fps 6 art/flag.png ao/3.ao
