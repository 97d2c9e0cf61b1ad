#!/usr/bin/env bash
# Builds the Debian package quavrex_<version>_<arch>.deb from a release build of the two
# programs, with Debian's hardening flags, and prints its path.
#
# usage: scripts/package.sh [build folder] [output folder]
#   build folder   default build-package/ (kept between runs, so later builds are quick)
#   output folder  default: the build folder
# QUAVREX_PACKAGE_JOBS limits the parallel compile jobs (default: the build tool's choice).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
out=${2:-$build}
mkdir -p "$build" "$out"
build=$(cd "$build" && pwd)
out=$(cd "$out" && pwd)

# Fortified functions, stack protector, read-only relocations bound at start: what Debian
# builds its packages with (lintian checks for them).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

launcher=()
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DQUAVREX_SANITIZE=OFF -DQUAVREX_BUILD_TESTS=OFF \
  -DQUAVREX_BUILD_BENCH=OFF -DQUAVREX_BUILD_SHELL=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" ${QUAVREX_PACKAGE_JOBS:+--parallel "$QUAVREX_PACKAGE_JOBS"}

# Files keep the permissions the install gives them whatever the caller's umask.
umask 022
rm -f "$out"/quavrex_*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/quavrex_*.deb
