#!/usr/bin/env bash
# Tests the packages that scripts/package.sh put into dist/, without
# installing anything into the system:
#   - each .deb's (amd64, arm64, armhf) file list, owners and control
#     fields; lintian on it; its manual page renders;
#   - the amd64 program, unpacked with dpkg -x into a temporary root, runs
#     the example node (examples/) through modes 0, 1 and 2; the arm64 and
#     armhf ones, under qemu-user, run it exactly as the amd64 one does:
#     the same console lines, exit codes, report and files left behind;
#   - each Windows zip's (win64, win32) file list and text files; its
#     corvane.exe is a program for its CPU, imports no DLL of the compiler
#     and, under Wine (the 32-bit one through Wine's 32-bit loader), runs
#     the example node exactly as the Linux program does;
#   - each static program's tarball (x86_64, arm64, armhf): its file list,
#     a static program for its CPU, the manual page and documents; the
#     program (under qemu-user for ARM) runs the example node exactly as
#     the amd64 .deb's program does.
# On a fresh Debian machine it first installs what is missing (as root).
# Ends with "N passed, M failed" and a non-zero status on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver
objdump=x86_64-w64-mingw32-objdump

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v unzip >/dev/null || missing+=(unzip)
command -v man >/dev/null || missing+=(man-db)
command -v groff >/dev/null || missing+=(groff-base)
command -v "$objdump" >/dev/null || missing+=(binutils-mingw-w64-x86-64)
command -v file >/dev/null || missing+=(file)
command -v qemu-aarch64 >/dev/null || missing+=(qemu-user)
[ -x "$wine64" ] || missing+=(wine64)
# Wine's 32-bit loader is a package of the i386 architecture: dpkg must know
# it before install_missing's apt-get update.
if [ ! -x "$wine32" ]; then
  missing+=(wine32:i386)
  if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
fi
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

version=$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb_arches=(amd64 arm64 armhf)
deb_of() { echo "dist/corvane_${version}-1_$1.deb"; }
deb=$(deb_of amd64)
# A Windows zip's suffix, what objdump says of its corvane.exe, what its
# README.txt calls the program, and the Wine loader that runs it.
windows_zips=(
  "win64|pei-x86-64|64-bit|$wine64"
  "win32|pei-i386|32-bit|$wine32"
)
zip_of() { echo "dist/corvane-${version}-$1.zip"; }
# A static program's CPU, what file(1) says of such a program, and what
# runs it here.
static_programs=(
  "x86_64|ELF 64-bit LSB executable, x86-64,|"
  "arm64|ELF 64-bit LSB executable, ARM aarch64,|qemu-aarch64"
  "armhf|ELF 32-bit LSB executable, ARM, EABI5|qemu-arm"
)
tarball_of() { echo "corvane-${version}-linux-$1"; }
for package in $(for arch in "${deb_arches[@]}"; do deb_of "$arch"; done) \
  $(for windows in "${windows_zips[@]}"; do zip_of "${windows%%|*}"; done) \
  $(for program in "${static_programs[@]}"; do echo "dist/$(tarball_of "${program%%|*}").tar.gz"; done); do
  if [ ! -f "$package" ]; then
    echo "$package is missing: run scripts/package.sh first" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-packages-XXXXXX")
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && "$wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
# check NAME COMMAND...: runs the command; its output is shown only when it
# fails.
check() {
  local name=$1 output
  shift
  if output=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "ok      $name"
  else
    failed=$((failed + 1))
    echo "FAILED  $name"
    [ -n "$output" ] && sed 's/^/        /' <<<"$output"
  fi
}
# same EXPECTED ACTUAL: equal texts, or a diff.
same() { diff -u <(printf '%s\n' "$1") <(printf '%s\n' "$2"); }

# --- The Debian packages -----------------------------------------------------

# Each check takes the package's architecture.
deb_files() {
  same "./usr/bin/corvane
./usr/share/doc/corvane/README.md
./usr/share/doc/corvane/changelog.Debian.gz
./usr/share/doc/corvane/copyright
./usr/share/doc/corvane/examples/TK000001.TIC
./usr/share/doc/corvane/examples/prefix.nef
./usr/share/doc/corvane/examples/suffix.nef
./usr/share/lintian/overrides/corvane
./usr/share/man/man1/corvane.1.gz" \
    "$(dpkg-deb -c "$(deb_of "$1")" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)"
}
deb_modes() {
  # Every entry belongs to root; the program alone is executable.
  same "-rwxr-xr-x root/root ./usr/bin/corvane" \
    "$(dpkg-deb -c "$(deb_of "$1")" | awk '$1 !~ /^d/ && ($1 != "-rw-r--r--" || $2 != "root/root") {print $1, $2, $6}
                               $1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {print $1, $2, $6}')"
}
deb_control() {
  local field package
  package=$(deb_of "$1")
  same "corvane
$version-1
$1
comm" "$(for field in Package Version Architecture Section; do dpkg-deb -f "$package" "$field"; done)" &&
    [[ $(dpkg-deb -f "$package" Maintainer) == *' <'*@*'>' ]] &&
    # The target's own libraries (libc6, not Debian's libc6-arm64-cross or
    # an arch-qualified libc6:arm64).
    [[ $(dpkg-deb -f "$package" Depends) == *'libc6 (>= '* ]] &&
    ! [[ $(dpkg-deb -f "$package" Depends) == *[:-]cross* ]] &&
    ! [[ $(dpkg-deb -f "$package" Depends) == *:* ]] &&
    [[ $(dpkg-deb -f "$package" Description) == 'FidoNet '* ]]
}
# The program's CPU, as file(1) names it.
declare -A deb_cpu=([amd64]="x86-64," [arm64]="ARM aarch64," [armhf]="ARM, EABI5 ")
deb_program() {
  local description
  description=$(file -b "$work/deb-$1/usr/bin/corvane")
  [[ $description == *", ${deb_cpu[$1]}"*"dynamically linked"* ]] || {
    echo "$description"
    return 1
  }
}
lintian_clean() {
  local status output
  lintian --fail-on error,warning "$(deb_of "$1")" >"$work/lintian-$1" 2>&1
  status=$?
  # lintian warns that it runs as root; CI runs as root.
  output=$(grep -v 'running with root privileges' "$work/lintian-$1")
  [ -z "$output" ] || echo "$output"
  [ "$status" -eq 0 ] && ! grep -q '^[EW]: ' <<<"$output"
}
manual() {
  local page=$work/deb-$1/usr/share/man/man1/corvane.1.gz shown
  same "" "$(man --warnings -l "$page" 2>&1 >/dev/null)" &&
    same "" "$(groff -man -ww -z doc/corvane.1 2>&1)" &&
    shown=$(MANWIDTH=80 man -l "$page" 2>/dev/null) &&
    grep -q '^EXIT STATUS' <<<"$shown" &&
    [[ $(tail -1 <<<"$shown") == "Corvane $version "* ]]
}

for arch in "${deb_arches[@]}"; do
  echo "== dpkg-deb -c $(deb_of "$arch")"
  dpkg-deb -c "$(deb_of "$arch")"
  echo
  dpkg -x "$(deb_of "$arch")" "$work/deb-$arch"
  check "$arch .deb: holds the program, manual page, documents and nothing else" deb_files "$arch"
  check "$arch .deb: its files belong to root with the usual modes" deb_modes "$arch"
  check "$arch .deb: control fields: name, version, architecture, section, maintainer, shlibdeps" \
    deb_control "$arch"
  check "$arch .deb: its program is a dynamically linked one for its CPU" deb_program "$arch"
  check "$arch .deb: lintian reports no error and no warning" lintian_clean "$arch"
  check "$arch .deb: the manual page renders without a warning and names this version" \
    manual "$arch"
  echo
done
unpacked=$work/deb-amd64

# --- The example node, run by the Linux and the Windows programs ----------

# run_node DIR PROGRAM...: copies the example node to DIR and runs the three
# modes there with PROGRAM; DIR/transcript then holds the console lines
# (CR removed), the exit codes, the report, what stays in each directory and
# a checksum of every file left but the report (ticbase.dat too).
step() {
  "$@" </dev/null 2>&1 | tr -d '\r'
  echo "exit ${PIPESTATUS[0]}"
}
run_node() {
  local node=$1
  shift
  mkdir -p "$node"
  cp -r examples/inbound examples/badtics examples/prefix.nef examples/suffix.nef "$node/"
  (
    cd "$node" || exit 1
    step "$@" 0 inbound badtics
    step "$@" 1 badtics .
    step "$@" 2 '*' newfiles.txt
    "$@" </dev/null >/dev/null 2>&1
    echo "exit without parameters $?"
    echo "--- newfiles.txt"
    # The date in the header is today's; the runs may straddle midnight.
    tr -d '\r' <newfiles.txt | sed -E 's/[A-Z][a-z]+day [0-9]{2}-[A-Z][a-z]{2}-[0-9]{2}/DATE/'
    echo "--- inbound"
    ls inbound
    echo "--- badtics"
    ls badtics
    echo "--- files"
    find . -type f ! -name transcript ! -name newfiles.txt | LC_ALL=C sort | xargs sha256sum
  ) >"$node/transcript" 2>&1
}

run_node "$work/linux" "$unpacked/usr/bin/corvane"
transcript=$(cat "$work/linux/transcript")

linux_mode0() {
  same "Mode: 0
Processing incoming TICs...
TK000001.TIC: NODEDIFF.A48
TK000002.TIC: FNEWS448.ZIP
TK000003.TIC: TICKIT12.ZIP
TK000004.TIC: ARCVIEW3.ZIP
Done.
exit 0" "$(sed -n '/^Mode: 0/,/^exit/p' <<<"$transcript")" &&
    same "TK000006.TIC
tk000005.tic" "$(sed -n '/^--- inbound/,/^---/p' <<<"$transcript" | grep -i '\.tic$')"
}
check "unpacked corvane, mode 0: stores the four tickets whose files are there" linux_mode0

linux_mode1() {
  same "Mode: 1
Checking stored info...
0. NODEDIFF.A48 is ok
1. FNEWS448.ZIP is ok
2. TICKIT12.ZIP is bad
3. ARCVIEW3.ZIP is ok
Done.
exit 0" "$(sed -n '/^Mode: 1/,/^exit/p' <<<"$transcript")"
}
check "unpacked corvane, mode 1: marks the ticket with a .bad marker" linux_mode1

linux_mode2() {
  local report
  report=$(sed -n '/^--- newfiles.txt/,/^--- inbound/p' <<<"$transcript")
  same "Mode: 2
Creating report... done.
Writing...
Done.
exit 0
exit without parameters 1" "$(sed -n '/^Mode: 2/,/^exit without/p' <<<"$transcript")" &&
    same " Area : NODELIST
 Area : FIDONEWS
 Area : UTILS" "$(grep '^ Area : ' <<<"$report")" &&
    grep -qx '  *New files at 2:292/854, DATE' <<<"$report" &&
    grep -qx ' Total of 193,541 in 3 file(s)' <<<"$report" &&
    grep -qx " Report made by Corvane/W32 $version." <<<"$report" &&
    ! grep -q 'TICKIT12' <<<"$report"
}
check "unpacked corvane, mode 2: the report, without the bad ticket" linux_mode2

# The same node, run by another program: a transcript just like the amd64
# program's. run_like_amd64 NAME PROGRAM...
run_like_amd64() {
  local name=$1
  shift
  run_node "$work/$name" "$@"
  diff -u "$work/linux/transcript" "$work/$name/transcript"
}
check "arm64 .deb's corvane under qemu runs the example node exactly as the amd64 one" \
  run_like_amd64 deb-arm64-node qemu-aarch64 -L /usr/aarch64-linux-gnu "$work/deb-arm64/usr/bin/corvane"
check "armhf .deb's corvane under qemu runs the example node exactly as the amd64 one" \
  run_like_amd64 deb-armhf-node qemu-arm -L /usr/arm-linux-gnueabihf "$work/deb-armhf/usr/bin/corvane"

# --- The Windows zips ---------------------------------------------------------

# Each check takes the zip's suffix (win64, win32); the zip is unpacked into
# $work/zip-<suffix>.
unzipped_of() { echo "$work/zip-$1/corvane-${version}-$1"; }
zip_files() {
  local name=corvane-${version}-$1
  same "$name/
$name/README.txt
$name/corvane.exe
$name/corvane.txt
$name/examples/
$name/examples/TK000001.TIC
$name/examples/prefix.nef
$name/examples/suffix.nef" "$(unzip -Z1 "$(zip_of "$1")" | LC_ALL=C sort)"
}
crlf_only() {
  local file
  for file in "$@"; do
    # Every line ends in CR LF, and nothing is left of roff's overstriking.
    awk '!/\r$/ {print FILENAME ": line " NR " has no CR"; bad = 1} END {exit bad}' "$file" &&
      ! grep -q $'[\b\e]' "$file" || return 1
  done
}
readme_for_windows() {
  local unzipped
  unzipped=$(unzipped_of "$1")
  grep -q 'EXIT STATUS' "$unzipped/corvane.txt" &&
    grep -q '^  @echo off' "$unzipped/README.txt" &&
    grep -q 'corvane.exe 0 C:\\FIDO\\INBOUND C:\\FIDO\\BADTICS' "$unzipped/README.txt" &&
    grep -q "^  corvane.exe  *the program ($2, " "$unzipped/README.txt"
}
exe_imports() {
  local exe dlls
  exe=$(unzipped_of "$1")/corvane.exe
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\tDLL Name: //p') &&
    [ -n "$dlls" ] &&
    # The compiler's run-time DLLs (libstdc++-6, libgcc_s_seh-1 or
    # libgcc_s_dw2-1, libwinpthread-1) are not on a bare Windows.
    same "" "$(grep -i '^lib' <<<"$dlls")" &&
    [[ $("$objdump" -f "$exe") == *"file format $2"* ]]
}

# Wine as scripts/test.sh sets it up: a prefix of its own, one wine server
# for all runs, no Mono or Gecko, and wineboot run first with its output on
# /dev/null so that no background service holds a run's output open. The
# 64-bit prefix runs the 32-bit corvane.exe too, through Wine's 32-bit
# loader.
export WINEPREFIX=$root/build-pkg-windows/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
"$wineserver" -p 2>/dev/null
"$wine64" wineboot --init </dev/null >/dev/null 2>&1 ||
  echo "wineboot could not set up $WINEPREFIX" >"$work/wine-failed"
windows_like_linux() {
  [ ! -f "$work/wine-failed" ] || { cat "$work/wine-failed"; return 1; }
  diff -u "$work/linux/transcript" "$work/windows-$1/transcript"
}

for windows in "${windows_zips[@]}"; do
  IFS='|' read -r suffix format bits loader <<<"$windows"
  zip=$(zip_of "$suffix")
  unzipped=$(unzipped_of "$suffix")
  echo
  echo "== unzip -l $zip"
  unzip -l "$zip"
  echo
  unzip -q "$zip" -d "$work/zip-$suffix"
  check "$suffix zip: holds corvane.exe, README.txt, the manual, templates and sample ticket" \
    zip_files "$suffix"
  check "$suffix zip: README.txt and corvane.txt are plain text with CR LF line ends" \
    crlf_only "$unzipped/README.txt" "$unzipped/corvane.txt"
  check "$suffix zip: README.txt has Windows paths, a batch file and says $bits; corvane.txt is the manual" \
    readme_for_windows "$suffix" "$bits"
  check "$suffix zip: corvane.exe is a $bits program importing only Windows' own DLLs" \
    exe_imports "$suffix" "$format"
  [ -f "$work/wine-failed" ] || run_node "$work/windows-$suffix" "$loader" "$unzipped/corvane.exe"
  check "$suffix zip: corvane.exe under Wine runs the example node exactly as the Linux program" \
    windows_like_linux "$suffix"
done

# --- The static Linux programs ---------------------------------------------

tarball_files() {
  local name=$1
  same "$name/
$name/README.md
$name/corvane
$name/corvane.1
$name/examples/
$name/examples/TK000001.TIC
$name/examples/prefix.nef
$name/examples/suffix.nef" "$(tar -tzf "dist/$name.tar.gz" | LC_ALL=C sort)" &&
    same "" "$(tar -tvzf "dist/$name.tar.gz" | awk '$2 != "0/0" {print}')"
}
tarball_documents() {
  local files=$work/tar/$1
  cmp README.md "$files/README.md" &&
    cmp examples/prefix.nef "$files/examples/prefix.nef" &&
    cmp examples/suffix.nef "$files/examples/suffix.nef" &&
    cmp examples/inbound/TK000001.TIC "$files/examples/TK000001.TIC" &&
    same "" "$(man --warnings -l "$files/corvane.1" 2>&1 >/dev/null)" &&
    [[ $(MANWIDTH=80 man -l "$files/corvane.1" 2>/dev/null | tail -1) == "Corvane $version "* ]]
}
static_program() {
  # What file(1) says: the CPU, and no interpreter (dynamic loader) to ask for.
  local description
  description=$(file -b "$work/tar/$1/corvane")
  [[ $description == "$2"*"statically linked"* ]] || {
    echo "$description"
    return 1
  }
}

mkdir -p "$work/tar"
for program in "${static_programs[@]}"; do
  IFS='|' read -r cpu kind runner <<<"$program"
  name=$(tarball_of "$cpu")
  echo
  echo "== tar -tvzf dist/$name.tar.gz"
  tar -tvzf "dist/$name.tar.gz"
  echo
  tar -xzf "dist/$name.tar.gz" -C "$work/tar"
  check "$cpu tarball: holds the program, manual page, README and examples, owned by root" \
    tarball_files "$name"
  check "$cpu tarball: README, examples and a manual page naming this version" \
    tarball_documents "$name"
  check "$cpu tarball: a static program for its CPU" static_program "$name" "$kind"
  check "$cpu tarball: its program${runner:+ under $runner} runs the example node exactly as the amd64 .deb's" \
    run_like_amd64 "static-$cpu" $runner "$work/tar/$name/corvane"
done

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
