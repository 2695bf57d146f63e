#!/usr/bin/env bash
# The main job: build the qrn command, run the example script and show the
# debug.txt it wrote, play the example title and save a screenshot, then play
# the demo headless to its end (a recorded session that solves it) and save
# its last picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qrn_app
qrn=$PWD/build/apps/qrn

cd examples/hello
rm -f debug.txt
"$qrn" run hello.mps
echo "--- examples/hello/debug.txt ---"
cat debug.txt

cd ../carousel
rm -f debug.txt
"$qrn" run --size 360x120 --screenshot /tmp/qrn-carousel.png carousel.mps
echo "--- examples/carousel/debug.txt ---"
cat debug.txt
echo "The window as the title ended: /tmp/qrn-carousel.png"

cd ../../titles/demo
rm -f debug.txt
"$qrn" run --replay ../../tests/apps/demo/solve.txt --screenshot /tmp/qrn-demo.png .
echo "--- titles/demo/debug.txt ---"
cat debug.txt
echo "The demo as it ended: /tmp/qrn-demo.png (qrn play with no TITLE opens it in a window)"
