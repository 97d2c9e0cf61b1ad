#!/usr/bin/env bash
# Builds the web page into build-web/ and serves it at http://127.0.0.1:${PORT:-8000}/ with
# Python's http.server; "--build" only builds.
#
# The page's module is the compile job, the reader, the MIDI export and the renderer built with
# Debian's emscripten from the same sources as the programs (web/CMakeLists.txt). The libraries
# the renderer links are compiled from Debian's source packages, fetched with apt-get source
# into build-web/deps/ (never into the repository): adplug's nukedopl.c, libsoxr and
# libsndfile. Each step is skipped when its output is there, so a second build is quick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build_only=0
case "${1:-}" in
  --build) build_only=1 ;;
  "") ;;
  *) echo "usage: scripts/web.sh [--build]" >&2; exit 2 ;;
esac

scripts/setup.sh

out=$root/build-web
deps=$out/deps
prefix=$deps/prefix
jobs=${WEB_JOBS:-2}
mkdir -p "$deps/src" "$prefix/lib/pkgconfig" "$prefix/include/adplug"

# emcc's optimiser loads acorn, which Debian installs for Debian's node (node-acorn). A node of
# another origin first on PATH finds Debian's modules only through NODE_PATH.
if ! node -e "require('acorn')" >/dev/null 2>&1; then
  export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
fi

# Unpacks Debian's source package $1 (patches applied) into build-web/deps/src once.
fetch_source() {
  local package=$1
  if [ ! -f "$deps/src/$package.stamp" ]; then
    echo "Fetching Debian's source package $package" >&2
    (cd "$deps/src" && rm -rf "$package"-[0-9]* && apt-get source -q "$package" >/dev/null)
    touch "$deps/src/$package.stamp"
  fi
  # The one folder the package unpacked into.
  find "$deps/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1
}

# A library of a source package built with emcmake and installed into the prefix.
build_cmake_package() {
  local name=$1 source=$2
  shift 2
  if [ ! -f "$deps/$name.built" ]; then
    echo "Building $name for WebAssembly"
    emcmake cmake -S "$source" -B "$deps/build-$name" -G Ninja -Wno-dev \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
      "$@" >"$deps/build-$name.log"
    cmake --build "$deps/build-$name" -j"$jobs" --target install >>"$deps/build-$name.log"
    touch "$deps/$name.built"
  fi
}

# Nuked OPL3 as Debian's libadplug carries it: its one C file, as it is, behind the header the
# programs include (<adplug/nukedopl.h>).
adplug=$(fetch_source adplug)
if [ ! -f "$deps/adplug.built" ]; then
  echo "Building adplug's nukedopl.c for WebAssembly"
  cp "$adplug/src/nukedopl.h" "$prefix/include/adplug/nukedopl.h"
  emcc -O3 -c "$adplug/src/nukedopl.c" -o "$deps/nukedopl.o"
  emar rcs "$prefix/lib/libadplug.a" "$deps/nukedopl.o"
  cat >"$prefix/lib/pkgconfig/adplug.pc" <<PC
Name: adplug
Description: Nuked OPL3 from Debian's adplug source package
Version: $(basename "$adplug" | sed 's/^adplug-//')
Libs: -L$prefix/lib -ladplug
Cflags: -I$prefix/include
PC
  touch "$deps/adplug.built"
fi

# libsoxr with the engine the programs use on x86-64: the single-precision one with SSE
# intrinsics (pffft), which emscripten maps onto WebAssembly's SIMD one for one, so that the
# page resamples to the same bytes. The library keys its SSE code to "i386"; that name is given
# only for its sources. The scalar engines stay out, so the SIMD one is always chosen.
soxr=$(fetch_source libsoxr)
build_cmake_package soxr "$soxr" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF \
  -DWITH_LSR_BINDINGS=OFF -DWITH_DEV_TRACE=OFF -DWITH_CR32=OFF -DWITH_CR64S=OFF \
  -DCMAKE_C_FLAGS="-msimd128 -msse -Di386"

# libsndfile without its codec libraries: the page writes 16-bit PCM WAVE files only.
sndfile=$(fetch_source libsndfile)
build_cmake_package sndfile "$sndfile" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
  -DBUILD_TESTING=OFF -DBUILD_REGTEST=OFF -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF \
  -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_PKGCONFIG_MODULE=ON \
  -DINSTALL_MANPAGES=OFF

# The module, from this repository's CMake project, finding the three libraries above through
# pkg-config as the native build finds Debian's (emscripten's toolchain would look for
# libraries in its own system folder alone).
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig emcmake cmake -S . -B "$out/cmake" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-fexceptions -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=BOTH \
  -DQUAVREX_BUILD_TESTS=OFF -DQUAVREX_BUILD_SHELL=OFF >"$out/cmake.log"
cmake --build "$out/cmake" -j"$jobs" --target quavrex_web

# The page: the module, its script interface and the page's own files.
cp "$out/cmake/page/quavrex.js" "$out/cmake/page/quavrex.wasm" web/quavrex-api.js "$out/"
if [ -f web/page/index.html ]; then
  cp -r web/page/. "$out/"
else
  # Until the page's own files are there: a page that loads the interface alone.
  cat >"$out/index.html" <<'HTML'
<!doctype html>
<html lang="ja">
<head><meta charset="utf-8"><title>QUAVREX</title><link rel="icon" href="data:,">
<script src="quavrex-api.js"></script></head>
<body><p>QUAVREX: window.quavrex</p></body>
</html>
HTML
fi
echo "The page is in $out/index.html"

if [ "$build_only" -eq 0 ]; then
  port=${PORT:-8000}
  echo "Serving at http://127.0.0.1:$port/ (Ctrl-C ends)"
  exec python3 -m http.server --bind 127.0.0.1 --directory "$out" "$port"
fi
