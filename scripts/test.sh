#!/usr/bin/env bash
# Build and run every test: once in the normal build (build/), whose suite
# also installs it into build/consumer/ and builds a host program against
# that (tests/consumer/), once with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/).
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
# The web build and its tests; under node, the library programs where
# WebAssembly differs most (32-bit long, its C library, numbers and files),
# to keep the whole command within CI's half hour: web.sh alone runs all.
bash scripts/web.sh --node-tests=framework,script
