#!/usr/bin/env bash
# Tests the packages that scripts/package.sh put into dist/, without
# installing anything into the system:
#   - the .deb's file list, owners and control fields; lintian on it;
#   - its program, unpacked with dpkg -x into a temporary root, runs the
#     example node (examples/) through modes 0, 1 and 2; its manual page
#     renders;
#   - the zip's file list and text files; its corvane.exe imports no DLL
#     of the compiler and, under Wine, runs the example node exactly as the
#     Linux program does.
# On a fresh Debian machine it first installs what is missing (as root).
# Ends with "N passed, M failed" and a non-zero status on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
objdump=x86_64-w64-mingw32-objdump

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v unzip >/dev/null || missing+=(unzip)
command -v man >/dev/null || missing+=(man-db)
command -v groff >/dev/null || missing+=(groff-base)
command -v "$objdump" >/dev/null || missing+=(binutils-mingw-w64-x86-64)
[ -x "$wine64" ] || missing+=(wine64)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

version=$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/corvane_${version}-1_amd64.deb
zipname=corvane-${version}-win64
zip=dist/$zipname.zip
for package in "$deb" "$zip"; do
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

# --- The Debian package -----------------------------------------------------

echo "== dpkg-deb -c $deb"
dpkg-deb -c "$deb"
echo

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
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)"
}
check "the .deb holds the program, manual page, documents and nothing else" deb_files

deb_modes() {
  # Every entry belongs to root; the program alone is executable.
  same "-rwxr-xr-x root/root ./usr/bin/corvane" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && ($1 != "-rw-r--r--" || $2 != "root/root") {print $1, $2, $6}
                               $1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {print $1, $2, $6}')"
}
check "the .deb's files belong to root with the usual modes" deb_modes

deb_control() {
  local field
  same "corvane
$version-1
amd64
comm" "$(for field in Package Version Architecture Section; do dpkg-deb -f "$deb" "$field"; done)" &&
    [[ $(dpkg-deb -f "$deb" Maintainer) == *' <'*@*'>' ]] &&
    [[ $(dpkg-deb -f "$deb" Depends) == *'libc6 (>= '* ]] &&
    [[ $(dpkg-deb -f "$deb" Description) == 'FidoNet '* ]]
}
check "the .deb's control fields: name, version, section, maintainer, shlibdeps" deb_control

echo
echo "== lintian $deb"
lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1
lintian_status=$?
# lintian warns that it runs as root; CI runs as root.
lintian_output=$(grep -v 'running with root privileges' "$work/lintian")
echo "${lintian_output:-(no output)}"
lintian_clean() { [ "$lintian_status" -eq 0 ] && ! grep -q '^[EW]: ' <<<"$lintian_output"; }
check "lintian reports no error and no warning" lintian_clean

unpacked=$work/deb
dpkg -x "$deb" "$unpacked"
manual() {
  local page=$unpacked/usr/share/man/man1/corvane.1.gz shown
  same "" "$(man --warnings -l "$page" 2>&1 >/dev/null)" &&
    same "" "$(groff -man -ww -z doc/corvane.1 2>&1)" &&
    shown=$(MANWIDTH=80 man -l "$page" 2>/dev/null) &&
    grep -q '^EXIT STATUS' <<<"$shown" &&
    [[ $(tail -1 <<<"$shown") == "Corvane $version "* ]]
}
check "the manual page renders without a warning and names this version" manual

# --- The example node, run by the Linux and the Windows program -----------

# run_node DIR PROGRAM...: copies the example node to DIR and runs the three
# modes there with PROGRAM; DIR/transcript then holds the console lines
# (CR removed), the exit codes, the report and what stays in each directory.
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

# --- The Windows zip ----------------------------------------------------------

echo
echo "== unzip -l $zip"
unzip -l "$zip"
echo

zip_files() {
  same "$zipname/
$zipname/README.txt
$zipname/corvane.exe
$zipname/corvane.txt
$zipname/examples/
$zipname/examples/TK000001.TIC
$zipname/examples/prefix.nef
$zipname/examples/suffix.nef" "$(unzip -Z1 "$zip" | LC_ALL=C sort)"
}
check "the zip holds corvane.exe, README.txt, the manual, templates and sample ticket" zip_files

unzip -q "$zip" -d "$work/zip"
unzipped=$work/zip/$zipname
crlf_only() {
  local file
  for file in "$@"; do
    # Every line ends in CR LF, and nothing is left of roff's overstriking.
    awk '!/\r$/ {print FILENAME ": line " NR " has no CR"; bad = 1} END {exit bad}' "$file" &&
      ! grep -q $'[\b\e]' "$file" || return 1
  done
}
check "README.txt and corvane.txt are plain text with CR LF line ends" \
  crlf_only "$unzipped/README.txt" "$unzipped/corvane.txt"

readme_for_windows() {
  grep -q 'EXIT STATUS' "$unzipped/corvane.txt" &&
    grep -q '^  @echo off' "$unzipped/README.txt" &&
    grep -q 'corvane.exe 0 C:\\FIDO\\INBOUND C:\\FIDO\\BADTICS' "$unzipped/README.txt"
}
check "README.txt has Windows paths and a batch file; corvane.txt is the manual" readme_for_windows

exe_imports() {
  local dlls
  dlls=$("$objdump" -p "$unzipped/corvane.exe" | sed -n 's/^\tDLL Name: //p') &&
    [ -n "$dlls" ] &&
    # The compiler's run-time DLLs (libstdc++-6, libgcc_s_seh-1,
    # libwinpthread-1) are not on a bare Windows.
    same "" "$(grep -i '^lib' <<<"$dlls")" &&
    [[ $("$objdump" -f "$unzipped/corvane.exe") == *'file format pei-x86-64'* ]]
}
check "corvane.exe is a 64-bit program importing only Windows' own DLLs" exe_imports

# Wine as scripts/test.sh sets it up: a prefix of its own, one wine server
# for all runs, no Mono or Gecko, and wineboot run first with its output on
# /dev/null so that no background service holds a run's output open.
export WINEPREFIX=$root/build-pkg-windows/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
"$wineserver" -p 2>/dev/null
if "$wine64" wineboot --init </dev/null >/dev/null 2>&1; then
  run_node "$work/windows" "$wine64" "$unzipped/corvane.exe"
else
  echo "wineboot could not set up $WINEPREFIX" >"$work/windows-failed"
fi
windows_like_linux() {
  [ ! -f "$work/windows-failed" ] || { cat "$work/windows-failed"; return 1; }
  diff -u "$work/linux/transcript" "$work/windows/transcript"
}
check "corvane.exe under Wine runs the example node exactly as the Linux program" \
  windows_like_linux

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
