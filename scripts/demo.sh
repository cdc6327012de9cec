#!/usr/bin/env bash
# Runs Corvane on the bundled example node, in a fresh temporary directory:
# mode 0 takes in the tickets, mode 1 marks the one with a bad marker, mode 2
# writes the new-files report. Shows every console line and the report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# A build of its own, without the tests, so the demo needs only a compiler.
if [ ! -x "$root/build-demo/corvane" ]; then
  cmake -S "$root" -B "$root/build-demo" -DCORVANE_TESTS=OFF >/dev/null
fi
cmake --build "$root/build-demo" -j"$(nproc)" >/dev/null
corvane="$root/build-demo/corvane"

node=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo-XXXXXX")
cp -r "$root/examples/inbound" "$node/inbound"
cp -r "$root/examples/badtics" "$node/badtics"
cp "$root/examples/prefix.nef" "$root/examples/suffix.nef" "$node/"
cd "$node"

run() {
  echo
  echo "\$ corvane $*"
  "$corvane" "$@" | tr -d '\r'
}
listing() {
  echo
  echo "--- $1:"
  ls "$1" | sed 's/^/    /'
}

echo "Example node in $node"
listing inbound
run 0 inbound badtics
listing inbound
echo "    TK000006.TIC waits for its file, which has not arrived; tk000005.tic ends its"
echo "    lines with LF alone, so it reads as one line without a File keyword (see README)."
listing badtics
run 1 badtics .
run 2 '*' newfiles.txt
echo
echo "--- newfiles.txt:"
tr -d '\r' < newfiles.txt
