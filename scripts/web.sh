#!/usr/bin/env bash
# The web build: Debian's emscripten and chromium, the library's C
# dependencies built for WebAssembly from Debian's own source packages, the
# library and the web player, then the web tests (the library's tests under
# node, the player in headless Chromium).
#
# Everything lands in build-web/: deps/ holds the sources and the installed
# wasm libraries (kept between runs: a library whose stamp is there is not
# built again), build/ the CMake build of the library. Nothing is fetched
# but Debian packages: Emscripten's own ports need the network, so they are
# not used.
#
# Usage: web.sh [--node-tests=FOLDER,...]: run only these test programs of
# the library under node (all eight by default).
set -euo pipefail
node_tests=framework,util,sob,script,trinket,anim,background,cursor
for arg in "$@"; do
    case $arg in
        --node-tests=*) node_tests=${arg#--node-tests=} ;;
        *) echo "usage: web.sh [--node-tests=FOLDER,...]" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/.."
root=$PWD
web=$root/build-web
deps=$web/deps
prefix=$deps/prefix
mkdir -p "$deps/src" "$prefix/include" "$prefix/lib/pkgconfig"

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

# ---------------------------------------------------------------- packages
packages=(emscripten chromium dpkg-dev autoconf automake libtool pkg-config cmake libgtest-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Source packages come from the release suite: the security suite's may be
# missing from a mirror.
src_list=/etc/apt/sources.list.d/qrn-web-src.sources
added_src=0
if [ ! -f "$src_list" ]; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
        $sudo_cmd tee "$src_list" >/dev/null
    added_src=1
fi
if ((${#missing[@]})) || ((added_src)); then
    echo "web.sh: installing ${missing[*]:-source lists}"
    $sudo_cmd apt-get update -qq
    ((${#missing[@]})) && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# Debian's emcc runs its tools under node and needs Debian's node modules.
export NODE_PATH=/usr/share/nodejs
# Debian's emscripten ships its system libraries prebuilt, in a frozen cache.
export EMCC_CORES=2

# ---------------------------------------------------------------- sources
# source_of PACKAGE: the upstream source of a Debian source package,
# unpacked from its orig tarball. Debian's own changes are not needed to build
# these for wasm, and a mirror may lack a package's diff while it has the rest.
source_of() {
    local pkg=$1
    local dir=$deps/src/$pkg
    if [ ! -d "$dir" ]; then
        (cd "$deps/src" && apt-get source -qq --download-only "$pkg" >/dev/null 2>&1) || true
        local orig
        orig=$(find "$deps/src" -maxdepth 1 -name "${pkg}_*.orig.tar.*" | head -n1)
        [ -n "$orig" ] || { echo "web.sh: apt-get source $pkg failed (are the deb-src entries reachable?)" >&2; exit 1; }
        mkdir -p "$dir.tmp" && tar -xf "$orig" -C "$dir.tmp" --strip-components=1 && mv "$dir.tmp" "$dir"
    fi
    echo "$dir"
}

# compile_lib NAME CFLAGS... -- FILES...: a static wasm library from sources,
# two compilers at a time.
compile_lib() {
    local name=$1; shift
    local flags=()
    while [ "$1" != "--" ]; do flags+=("$1"); shift; done
    shift
    local odir=$deps/obj-$name
    mkdir -p "$odir"
    printf '%s\n' "$@" |
        xargs -P2 -I{} sh -c 'f=$0 o=$1; shift; emcc -O2 "$@" -c "$f" -o "$o/$(basename "${f%.c}").o"' {} "$odir" "${flags[@]}" ||
        return 1
    rm -f "$prefix/lib/lib$name.a"
    emar rcs "$prefix/lib/lib$name.a" "$odir"/*.o || return 1
}

pc_file() {  # NAME VERSION LIBS REQUIRES
    printf 'prefix=%s\nName: %s\nDescription: %s for wasm\nVersion: %s\nRequires: %s\nLibs: -L%s/lib %s\nCflags: -I%s/include\n' \
        "$prefix" "$1" "$1" "$2" "$4" "$prefix" "$3" "$prefix" >"$prefix/lib/pkgconfig/$1.pc"
}

t0=$(date +%s)
if [ ! -f "$deps/zlib.done" ]; then
    src=$(source_of zlib)
    (cd "$src" && compile_lib z -DHAVE_UNISTD_H -DHAVE_STDARG_H -- adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
        infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
    cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
    pc_file zlib 1.2.13 -lz ""
    touch "$deps/zlib.done"
fi
if [ ! -f "$deps/libpng.done" ]; then
    src=$(source_of libpng1.6)
    cp "$src/scripts/pnglibconf.h.prebuilt" "$src/pnglibconf.h"
    (cd "$src" && compile_lib png -I"$prefix/include" -DPNG_ARM_NEON_OPT=0 -DPNG_INTEL_SSE_OPT=0 -- \
        png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c \
        pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
    cp "$src/png.h" "$src/pngconf.h" "$src/pnglibconf.h" "$prefix/include/"
    pc_file libpng 1.6.39 -lpng zlib
    touch "$deps/libpng.done"
fi
if [ ! -f "$deps/lzo2.done" ]; then
    src=$(source_of lzo2)
    # Its configure guesses wrong type sizes under emcc; the sources stand alone without it.
    (cd "$src" && compile_lib lzo2 -I"$src/include" -I"$src" -DLZO_CFG_NO_CONFIG_HEADER=1 -- src/*.c)
    cp -r "$src/include/lzo" "$prefix/include/"
    touch "$deps/lzo2.done"
fi
if [ ! -f "$deps/pixman.done" ]; then
    src=$(source_of pixman)
    (cd "$src" && emconfigure ./configure -q --prefix="$prefix" --host=wasm32-unknown-emscripten \
        --disable-shared --enable-static --disable-openmp --disable-loongson-mmi --disable-mmx --disable-sse2 \
        --disable-ssse3 --disable-vmx --disable-arm-simd --disable-neon --disable-arm-iwmmxt \
        --disable-mips-dspr2 --disable-gcc-inline-asm --disable-gtk --disable-libpng --disable-timers \
        CFLAGS=-O2 >/dev/null &&
        emmake make -s -j2 -C pixman libpixman-1.la >/dev/null && emmake make -s -C pixman install >/dev/null)
    cp "$src/pixman-1.pc" "$prefix/lib/pkgconfig/" 2>/dev/null || true
    touch "$deps/pixman.done"
fi
# GoogleTest for the library's tests under node, from Debian's own source copy.
if [ ! -f "$deps/gtest.done" ]; then
    emcmake cmake -S /usr/src/googletest -B "$deps/obj-gtest" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$deps/obj-gtest" -j2 >/dev/null && cmake --install "$deps/obj-gtest" >/dev/null
    touch "$deps/gtest.done"
fi
echo "web.sh: dependencies ready ($(($(date +%s) - t0)) s)"

# ---------------------------------------------------------------- the library and the player
build=$web/build
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
t0=$(date +%s)
emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQRN_BUILD_BENCH=OFF \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DGTest_DIR="$prefix/lib/cmake/GTest" -DLZO2_INCLUDE_DIR="$prefix/include" -DLZO2_LIBRARY="$prefix/lib/liblzo2.a" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);--no-experimental-fetch" >/dev/null
cmake --build "$build" -j2 --target qrn_web
echo "web.sh: the web player built ($(($(date +%s) - t0)) s)"

# ---------------------------------------------------------------- tests
# The library's tests under node (tests/CMakeLists.txt names those left out).
t0=$(date +%s)
node_targets=()
for folder in ${node_tests//,/ }; do node_targets+=("test_$folder"); done
cmake --build "$build" -j2 --target "${node_targets[@]}"
(cd "$build" && ctest -j2 --output-on-failure -R "^test_($(echo "$node_tests" | sed 's/,/|/g'))\$")
echo "web.sh: the library's tests under node ($(($(date +%s) - t0)) s)"

# The player in headless Chromium, against the native qrn (for export-web and
# the reference screenshots).
qrn_app=${QRN_APP:-$root/build/apps/qrn}
if [ ! -x "$qrn_app" ]; then
    cmake -S . -B build -DQRN_BUILD_BENCH=OFF >/dev/null
    cmake --build build -j2 --target qrn_app
fi
t0=$(date +%s)
QRN_APP=$qrn_app node --no-experimental-fetch --test tests/web/
echo "web.sh: the web player's tests in Chromium ($(($(date +%s) - t0)) s)"
