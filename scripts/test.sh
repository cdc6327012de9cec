#!/usr/bin/env bash
# Builds Corvane and runs every test the project has.
# On a fresh Debian machine it first installs what is missing (as root).
#
# Builds with warnings as errors: the 64-bit and 32-bit Windows corvane.exe
# (MinGW-w64, unit tests under Wine), Clang, Release builds for arm64, armhf
# and s390x Linux (Debian's cross compilers, unit tests under qemu-user), GCC
# as a Release build, and GCC with CORVANE_PORTABLE_POSIX. The GCC Release
# build runs the end-to-end suite against its own binary and against each of
# the others: the two corvane.exe under Wine ("windows." and "win32."
# tests), the arm64, armhf and s390x programs under qemu ("arm64.",
# "armhf.", "s390x." tests). Then the fuzz targets for a bounded time, the
# unit and end-to-end suites under ASan and UBSan, and the packages (the
# .deb files, the Windows zips and the static Linux programs) built and
# tested.
set -euo pipefail
cd "$(dirname "$0")/.."

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v clang++ >/dev/null || missing+=(clang)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
[ -x "$wine64" ] || missing+=(wine64)
command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
# Wine's 32-bit loader, for the 32-bit corvane.exe, is a package of the i386
# architecture: dpkg must know it before install_missing's apt-get update.
if [ ! -x "$wine32" ]; then
  missing+=(wine32:i386)
  if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
fi
# Cross compilers for Linux on other CPUs, and qemu-user to run what they
# build: name, compiler prefix, toolchain file, qemu program.
cross_targets=(
  "arm64 aarch64-linux-gnu aarch64-linux-gnu qemu-aarch64"
  "armhf arm-linux-gnueabihf arm-linux-gnueabihf qemu-arm"
  "s390x s390x-linux-gnu s390x-linux-gnu qemu-s390x"
)
for target in "${cross_targets[@]}"; do
  read -r _ triplet _ qemu <<<"$target"
  command -v "$triplet-g++" >/dev/null || missing+=("g++-$triplet")
  command -v "$qemu" >/dev/null || missing+=(qemu-user)
done
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

# The 32-bit corvane.exe, for x86 Windows. Its programs run in the same
# 64-bit prefix and wine server, through Wine's 32-bit loader (the
# toolchain file's emulator); it goes to the end-to-end suite below too.
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCORVANE_WERROR=ON >/dev/null
cmake --build build-win32 -j"$jobs"
ctest --test-dir build-win32 --output-on-failure --timeout 300 -j"$jobs"

# Clang builds everything warning-free too; its tests run as well.
cmake -S . -B build-clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_WERROR=ON >/dev/null
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang --output-on-failure --timeout 300 -j"$jobs"

# Linux on other CPUs: 64-bit ARM, 32-bit ARM (64-bit file offsets and
# time, see CMakeLists.txt) and big-endian s390x, as Release builds. CMake
# runs their test programs under qemu-user (CMAKE_CROSSCOMPILING_EMULATOR in
# the toolchain file), already at build time to list the tests. Their
# programs go to the end-to-end suite of the GCC build below.
cross_programs=()
for target in "${cross_targets[@]}"; do
  read -r name _ toolchain _ <<<"$target"
  cmake -S . -B "build-$name" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON >/dev/null
  cmake --build "build-$name" -j"$jobs"
  ctest --test-dir "build-$name" --output-on-failure --timeout 300 -j"$jobs"
  cross_programs+=("-DCORVANE_${name^^}_PROGRAM=$PWD/build-$name/corvane")
done

# GCC as a Release build, as most users build: its optimiser warns of
# things the other builds never see.
cmake -S . -B build -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON \
  -DCORVANE_WINDOWS_PROGRAM="$PWD/build-windows/corvane.exe" \
  -DCORVANE_WINDOWS_LAUNCHER="env WINEPREFIX=$WINEPREFIX WINEDEBUG=-all $wine64" \
  -DCORVANE_WIN32_PROGRAM="$PWD/build-win32/corvane.exe" \
  -DCORVANE_WIN32_LAUNCHER="env WINEPREFIX=$WINEPREFIX WINEDEBUG=-all $wine32" \
  "${cross_programs[@]}" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --timeout 300 -j"$jobs"

# GCC with the platform layer's POSIX.1-2008 fallbacks in place of its
# Linux-only calls: the unit and end-to-end suites against that program. A
# Debug build, with assertions, and the quickest to build.
cmake -S . -B build-portable -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Debug \
  -DCORVANE_WERROR=ON -DCORVANE_PORTABLE_POSIX=ON >/dev/null
cmake --build build-portable -j"$jobs"
ctest --test-dir build-portable --output-on-failure --timeout 300 -j"$jobs"

# Fuzz targets, about 20 s each, then the unit and end-to-end suites under
# ASan and UBSan.
bash scripts/fuzz.sh 20
bash scripts/sanitize.sh

# The packages: the .deb and the Windows zips, built and tested.
bash scripts/package.sh >/dev/null
bash scripts/test_packages.sh
