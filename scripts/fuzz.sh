#!/usr/bin/env bash
# Usage: fuzz.sh [SECONDS [TARGET...]]
# Fuzzes every target of fuzz/ (or the TARGETs named) for SECONDS (default 60) each, with clang and
# libFuzzer (Debian: clang, libfuzzer-14-dev), built under AddressSanitizer in
# build-fuzz/. Each target grows its own copy of its seed corpus
# (build-fuzz/corpus/NAME/); what it finds goes to build-fuzz/findings/NAME/
# with its log beside. A target may not grow past 512 MB resident. Prints one
# line per target: executions of this run, executions of every run so far
# on this build folder's corpus (build-fuzz/findings/NAME.total), and
# findings. Exits 1 when anything was found. QRN_FUZZ_RUNS=N also stops each
# target after N executions (for campaigns that count executions).
set -euo pipefail
seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: needs clang and libFuzzer (apt-get install clang libfuzzer-14-dev)" >&2
  exit 2
fi
mkdir -p "$build"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRN_FUZZ=ON -DQRN_SANITIZE=ON -DQRN_BUILD_TESTS=OFF \
  -DQRN_BUILD_BENCH=OFF "${launcher[@]}" >"$build/configure.log"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for source in "$root"/fuzz/*.cpp; do names+=("$(basename "$source" .cpp)"); done
fi
targets=()
for name in "${names[@]}"; do
  if [ ! -f "$root/fuzz/$name.cpp" ]; then echo "fuzz.sh: no target $name in fuzz/" >&2; exit 2; fi
  targets+=("fuzz_$name")
done
cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log"

# Targets that read files write each input to a temporary file: on a
# memory file system that costs no disk traffic. A smaller quarantine than
# AddressSanitizer's 256 MB keeps freed memory poisoned for a while yet reuses
# pages, which halves the time of targets that allocate a lot.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16

status=0
printf '%-12s %14s %14s %9s\n' target executions total findings
for name in "${names[@]}"; do
  corpus=$build/corpus/$name
  findings=$build/findings/$name
  mkdir -p "$corpus" "$findings"
  cp -n "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  log=$build/findings/$name.log
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" ${QRN_FUZZ_RUNS:+-runs=$QRN_FUZZ_RUNS} \
    -rss_limit_mb=512 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || true
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || true)
  total=$(( $(cat "$build/findings/$name.total" 2>/dev/null || echo 0) + ${runs:-0} ))
  echo "$total" >"$build/findings/$name.total"
  found=$(find "$findings" -type f | wc -l)
  printf '%-12s %14s %14s %9s\n' "$name" "${runs:-?}" "$total" "$found"
  if [ "$found" -ne 0 ]; then status=1; fi
done
exit $status
