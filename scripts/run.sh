#!/usr/bin/env bash
# The main job: build the qrn command and run the example title's script
# headless, then show what the script wrote to debug.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qrn_app
cd examples/hello
rm -f debug.txt
../../build/apps/qrn run hello.mps
echo "--- debug.txt ---"
cat debug.txt
