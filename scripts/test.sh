#!/usr/bin/env bash
# Builds Corvane and runs every test the project has.
# On a fresh Debian machine it first installs what is missing (as root).
#
# Three builds with warnings as errors: the Windows corvane.exe (MinGW-w64,
# unit tests under Wine), Clang, and GCC as a Release build. The GCC build
# runs the end-to-end suite twice, against its own binary and, under Wine,
# against corvane.exe ("windows." tests). Then the fuzz targets for a
# bounded time, the unit and end-to-end suites under ASan and UBSan, and the
# packages (the .deb and the Windows zip) built and tested.
set -euo pipefail
cd "$(dirname "$0")/.."

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v clang++ >/dev/null || missing+=(clang)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
[ -x "$wine64" ] || missing+=(wine64)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

jobs=$(nproc)

# Windows build. CMake runs its test programs through Wine
# (CMAKE_CROSSCOMPILING_EMULATOR), already at build time to list the tests,
# so Wine is set up before the build. Everything Wine keeps lives in the
# build tree; no window, no debug chatter, and no offer to install Mono or
# Gecko (nothing here needs them) can hold up a run without a display.
export WINEPREFIX="$PWD/build-windows/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCORVANE_WERROR=ON >/dev/null
# One wine server for the whole script instead of one per Wine process:
# a program under Wine then starts in a fraction of a second. Stopping it
# at the end also stops what it ran and writes the prefix's registry.
mkdir -p "$WINEPREFIX"
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Fails only when a server for this prefix already runs; that one serves.
"$wineserver" -p 2>/dev/null || true
# The first Wine program of a server starts Wine's background services, and
# they keep the output of that program open. Start them here, on /dev/null,
# or ctest would wait for the end of the first test's output forever.
"$wine64" wineboot --init </dev/null >/dev/null 2>&1 || {
  echo "wineboot could not set up $WINEPREFIX" >&2
  exit 1
}
cmake --build build-windows -j"$jobs"
ctest --test-dir build-windows --output-on-failure --timeout 300 -j"$jobs"

# Clang builds everything warning-free too; its tests run as well.
cmake -S . -B build-clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_WERROR=ON >/dev/null
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang --output-on-failure --timeout 300 -j"$jobs"

# GCC as a Release build, as most users build: its optimiser warns of
# things the other builds never see.
cmake -S . -B build -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON \
  -DCORVANE_WINDOWS_PROGRAM="$PWD/build-windows/corvane.exe" \
  -DCORVANE_WINDOWS_LAUNCHER="env WINEPREFIX=$WINEPREFIX WINEDEBUG=-all $wine64" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --timeout 300 -j"$jobs"

# Fuzz targets, about 20 s each, then the unit and end-to-end suites under
# ASan and UBSan.
bash scripts/fuzz.sh 20
bash scripts/sanitize.sh

# The packages: the .deb and the Windows zip, built and tested.
bash scripts/package.sh >/dev/null
bash scripts/test_packages.sh
