#!/usr/bin/env bash
# Builds the release packages into dist/:
#   dist/corvane_<version>-1_<arch>.deb          Debian packages (CPack) for
#                                                amd64, arm64 and armhf
#   dist/corvane-<version>-win64.zip             corvane.exe and its documents
#   dist/corvane-<version>-win32.zip             the same for 32-bit Windows
#   dist/corvane-<version>-linux-<cpu>.tar.gz    a static program for any
#                                                Linux on x86_64, arm64 or
#                                                armhf, with its documents
# Each program is built in a tree of its own (build-pkg, build-pkg-<arch>,
# build-pkg-windows, build-pkg-win32, build-static-<cpu>), as Release and
# without the tests; the arm64 and armhf ones with Debian's cross compilers.
# On a fresh Debian machine it first installs what is missing (as root), for
# the packages of other CPUs also their C and C++ run-times beside the
# machine's own (dpkg multiarch: dpkg-shlibdeps reads their dependency
# information).
# scripts/test_packages.sh tests the result.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v g++ >/dev/null || missing+=(g++)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
# dpkg-shlibdeps finds the dependencies, dpkg-buildflags Debian's build
# flags; CPack uses file to tell which packaged files are programs.
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v file >/dev/null || missing+=(file)
command -v groff >/dev/null || missing+=(groff-base)
command -v zip >/dev/null || missing+=(zip)
# Linux on other CPUs: Debian architecture, compiler prefix (and toolchain
# file in cmake/), name of the static program's CPU.
cross_targets=(
  "arm64 aarch64-linux-gnu arm64"
  "armhf arm-linux-gnueabihf armhf"
)
installed() { [ "$(dpkg-query -W -f '${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }
foreign=()
for target in "${cross_targets[@]}"; do
  read -r arch triplet _ <<<"$target"
  command -v "$triplet-g++" >/dev/null || missing+=("g++-$triplet")
  for package in "libc6:$arch" "libstdc++6:$arch"; do
    installed "$package" || { missing+=("$package") && foreign+=("$arch"); }
  done
done
# Packages of another architecture install once dpkg knows it; apt-get
# update in install_missing then reads its package lists.
if ((${#foreign[@]})) && [ "$(id -u)" -eq 0 ]; then
  for arch in $(printf '%s\n' "${foreign[@]}" | sort -u); do
    dpkg --print-foreign-architectures | grep -qx "$arch" || dpkg --add-architecture "$arch"
  done
fi
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
debs=("$deb")

# The same for arm64 and armhf: the target's build flags, and CPack (with
# dpkg-shlibdeps) run with the target as dpkg's host architecture, so the
# dependencies are those of the target's own libc6 and libstdc++6.
for target in "${cross_targets[@]}"; do
  read -r arch triplet _ <<<"$target"
  host() { CC=$triplet-gcc dpkg-architecture -a"$arch" -c "$@"; }
  tree=build-pkg-$arch
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="cmake/$triplet.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(host dpkg-buildflags --get CPPFLAGS) $(host dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(host dpkg-buildflags --get LDFLAGS)" >/dev/null
  cmake --build "$tree" -j"$jobs"
  rm -rf "$tree/cpack"
  (cd "$tree" && host cpack -G DEB -B "$root/$tree/cpack" >/dev/null)
  debs+=("corvane_${version}-1_$arch.deb")
  mv "$tree/cpack/${debs[-1]}" dist/
done

# Windows: the static corvane.exe, installed into a staging tree (stripped)
# from which the zip takes the program and the example node; for 64-bit and
# 32-bit Windows alike. Each entry: toolchain file, tree, the zip's suffix,
# what README.txt calls the program.
windows_targets=(
  "mingw-w64-x86_64 build-pkg-windows win64 64-bit"
  "mingw-w64-i686 build-pkg-win32 win32 32-bit"
)
# Text for Windows ends its lines with CR LF.
crlf() { sed 's/\r$//; s/$/\r/'; }
zips=()
for target in "${windows_targets[@]}"; do
  read -r toolchain build suffix bits <<<"$target"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$jobs"
  stage=$build/stage
  rm -rf "$stage"
  cmake --install "$build" --prefix "$PWD/$stage" --strip >/dev/null

  name=corvane-${version}-$suffix
  tree=$build/zip/$name
  rm -rf "$build/zip"
  mkdir -p "$tree"
  cp "$stage/bin/corvane.exe" "$tree/"
  cp -r "$stage/share/doc/corvane/examples" "$tree/examples"
  sed "s/@VERSION@/$version/g; s/@BITS@/$bits/g" doc/README-windows.txt | crlf >"$tree/README.txt"
  # The manual page as plain text: no bold or underline by overstriking.
  groff -man -Tascii -P-cbou "$stage/share/man/man1/corvane.1" | crlf >"$tree/corvane.txt"
  find "$build/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$build/zip" && find "$name" | LC_ALL=C sort | zip -X -q -@ "$root/dist/$name.zip")
  zips+=("$name.zip")
done

# Static Linux programs, for any Linux on the CPU whatever its C library:
# each in a tarball with the manual page, the README and the example
# templates and ticket, from a staging tree as the zip.
tarballs=()
for target in "x86_64 - x86_64" "${cross_targets[@]}"; do
  read -r _ triplet cpu <<<"$target"
  toolchain=()
  [ "$triplet" = - ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/$triplet.cmake")
  tree=build-static-$cpu
  cmake -S . -B "$tree" ${toolchain[@]+"${toolchain[@]}"} -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_TESTS=OFF -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
  cmake --build "$tree" -j"$jobs"
  stage=$tree/stage
  rm -rf "$stage"
  cmake --install "$tree" --prefix "$PWD/$stage" --strip >/dev/null
  tarball=corvane-${version}-linux-$cpu
  files=$tree/tar/$tarball
  rm -rf "$tree/tar"
  mkdir -p "$files"
  cp "$stage/bin/corvane" "$stage/share/man/man1/corvane.1" README.md "$files/"
  cp -r "$stage/share/doc/corvane/examples" "$files/examples"
  find "$tree/tar" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  tar -C "$tree/tar" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$tarball" |
    gzip -9n >"dist/$tarball.tar.gz"
  tarballs+=("$tarball.tar.gz")
done

echo "Made in $root/dist:"
ls -l dist
for deb in "${debs[@]}"; do
  echo
  echo "$deb:"
  dpkg-deb -c "dist/$deb"
done
for zip in "${zips[@]}"; do
  echo
  echo "$zip:"
  unzip -l "dist/$zip"
done
for tarball in "${tarballs[@]}"; do
  echo
  echo "$tarball:"
  tar -tvzf "dist/$tarball"
done
