#!/usr/bin/env bash
# Builds the release packages into dist/:
#   dist/corvane_<version>-1_amd64.deb   Debian package (CPack), for Linux
#   dist/corvane-<version>-win64.zip     corvane.exe and its documents
# Each program is built in a tree of its own (build-pkg, build-pkg-windows),
# as Release and without the tests. On a fresh Debian machine it first
# installs what is missing (as root). scripts/test_packages.sh tests the
# result.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v g++ >/dev/null || missing+=(g++)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
# dpkg-shlibdeps finds the dependencies, dpkg-buildflags Debian's build
# flags; CPack uses file to tell which packaged files are programs.
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v file >/dev/null || missing+=(file)
command -v groff >/dev/null || missing+=(groff-base)
command -v zip >/dev/null || missing+=(zip)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

jobs=$(nproc)
# Dates inside the packages (changelog, zip entries) are those of the last
# commit, so the same sources make the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

# Linux: Debian's hardening and optimisation flags, installed under /usr.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-pkg -j"$jobs"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-pkg/CMakeCache.txt)

rm -rf dist build-pkg/cpack
mkdir -p dist
(cd build-pkg && cpack -G DEB -B "$root/build-pkg/cpack" >/dev/null)
deb=corvane_${version}-1_amd64.deb
mv "build-pkg/cpack/$deb" dist/

# Windows: the static corvane.exe, installed into a staging tree (stripped)
# from which the zip takes the program and the example node.
cmake -S . -B build-pkg-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF >/dev/null
cmake --build build-pkg-windows -j"$jobs"
stage=build-pkg-windows/stage
rm -rf "$stage"
cmake --install build-pkg-windows --prefix "$PWD/$stage" --strip >/dev/null

name=corvane-${version}-win64
tree=build-pkg-windows/zip/$name
rm -rf build-pkg-windows/zip
mkdir -p "$tree"
cp "$stage/bin/corvane.exe" "$tree/"
cp -r "$stage/share/doc/corvane/examples" "$tree/examples"
# Text for Windows ends its lines with CR LF.
crlf() { sed 's/\r$//; s/$/\r/'; }
sed "s/@VERSION@/$version/g" doc/README-windows.txt | crlf >"$tree/README.txt"
# The manual page as plain text: no bold or underline by overstriking.
groff -man -Tascii -P-cbou "$stage/share/man/man1/corvane.1" | crlf >"$tree/corvane.txt"
find build-pkg-windows/zip -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd build-pkg-windows/zip && find "$name" | LC_ALL=C sort | zip -X -q -@ "$root/dist/$name.zip")

echo "Made in $root/dist:"
ls -l dist
echo
echo "$deb:"
dpkg-deb -c "dist/$deb"
echo
echo "$name.zip:"
unzip -l "dist/$name.zip"
