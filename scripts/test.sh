#!/usr/bin/env bash
# Build and run every test: once in the normal build (build/), once with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j2
    (cd "$dir" && ctest -j2 --output-on-failure)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DQRN_SANITIZE=ON -DQRN_BUILD_BENCH=OFF
bash scripts/web.sh  # the web build and its tests
