#!/usr/bin/env bash
# Builds Corvane with Clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (no recovery: the first finding ends the
# process) in build-asan, and runs the unit tests and the whole end-to-end
# suite against the sanitized binary.
#
# A finding makes the process exit with 86, which no run of the program
# does, and its report goes to a log of its own, so a test that expects a
# refused run (exit 1) or only looks at standard output cannot hide one.
# The script fails when any test fails or any report was written, and
# prints the reports.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v clang++ >/dev/null || missing+=(clang)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build build-asan -j2

reports=build-asan/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="exitcode=86:detect_leaks=1:log_path=$PWD/$reports/asan"
export UBSAN_OPTIONS="exitcode=86:print_stacktrace=1:log_path=$PWD/$reports/ubsan"
status=0
# The one test that runs the program with 4 file descriptors is left to the
# plain builds: the sanitizers' own run-time needs descriptors of its own at
# exit, and without them it spins instead of exiting.
ctest --test-dir build-asan --output-on-failure --timeout 300 -j2 \
  -E 'NoLoss.FailingDirectorySearchStops' || status=$?

if [ -n "$(ls -A "$reports")" ]; then
  echo "sanitizer reports:" >&2
  for report in "$reports"/*; do
    echo "--- $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit "$status"
