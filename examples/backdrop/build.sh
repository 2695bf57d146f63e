#!/usr/bin/env bash
# Rebuilds the backdrop's pictures from art/ with the qrn tools: the
# palette from the GIMP palette art/palette.gpl, room.b16 compressed from
# art/room.png, and the animations hall.ao and ao/1.ao packed from their
# manifests (art/hall, art/cursor: indexed PNGs and animation.toml).
set -euo pipefail
cd "$(dirname "$0")"
qrn=${QRN:-../../build/apps/qrn}
mkdir -p ao
"$qrn" palette art/palette.gpl palette.plt
"$qrn" bg encode art/room.png room.b16
"$qrn" pack art/hall/animation.toml hall.ao
"$qrn" pack art/cursor/animation.toml ao/1.ao
