#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and builds the consumer host
# against it three ways: the CMake package, pkg-config through CMake, and a
# plain compiler line from "pkg-config --cflags --libs qrn". Each host plays
# hello.mps headless in a scratch folder and must print what hello.expected
# says. The prefix also has to hold the qrn command and the demo title.
#
# usage: check.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/qrn share/qrn/titles/demo/main.mps include/qrn/trinket/KvTrinket.h; do
    [ -e "$prefix/$file" ] || { echo "check.sh: $file is not installed" >&2; exit 1; }
done
pcdir=$(dirname "$(find "$prefix" -name qrn.pc)")

run_host() {  # NAME HOST
    local dir=$scratch/run-$1
    mkdir -p "$dir"
    echo "== $1"
    (cd "$dir" && "$2" "$here/hello.mps" "$here/hello.expected")
}

# Only the prefix: the host must not find the library's headers anywhere else.
export CMAKE_PREFIX_PATH=$prefix
export PKG_CONFIG_PATH=$pcdir
for way in config pkgconfig; do
    option=OFF
    [ $way = pkgconfig ] && option=ON
    cmake -S "$here" -B "$scratch/build-$way" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQRN_USE_PKGCONFIG=$option >/dev/null
    cmake --build "$scratch/build-$way" >/dev/null
    run_host $way "$scratch/build-$way/qrn-consumer-host"
done

# No build system at all: the compiler line pkg-config gives.
# shellcheck disable=SC2046
${CXX:-c++} -std=c++20 -Wall -Wextra -o "$scratch/host-plain" "$here/host.cpp" \
    $(pkg-config --cflags --libs qrn) -Wl,-rpath,"$(pkg-config --variable=libdir qrn)"
run_host plain "$scratch/host-plain"
