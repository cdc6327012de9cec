#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (Clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer) in build-fuzz and runs each for a bounded
# time, seeded from tests/fuzz/corpus/<target>. Fails on any finding: a
# crash, a sanitizer report, a broken property, a hang or a memory blow-up.
#
#   scripts/fuzz.sh [seconds per target, default 20] [target...]
#
# Targets: ticket address record template name_rules (default: all).
# New inputs the fuzzer finds go to a temporary directory, not the repo;
# an input that fails is kept in build-fuzz/findings/ and the command that
# replays it is printed.
#
# To run one target for hours, give it a corpus directory of its own that
# outlives the run, so the next run starts where this one stopped:
#   scripts/fuzz.sh 0 ticket          # builds; a 0-second run checks the seeds
#   mkdir -p ~/corvane-fuzz/ticket
#   build-fuzz/tests/fuzz/fuzz_ticket -max_total_time=14400 -timeout=10 \
#     -print_final_stats=1 ~/corvane-fuzz/ticket tests/fuzz/corpus/ticket
# (add -jobs=N -workers=N to use N cores). A failing input becomes a
# regression seed once the fault is fixed: copy it into the target's
# directory under tests/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(ticket address record template name_rules)

fuzzer_runtime() {
  command -v clang++ >/dev/null &&
    [ -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-$(uname -m).a" ]
}
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v clang++ >/dev/null || missing+=(clang)
fuzzer_runtime || missing+=(libclang-rt-14-dev)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF \
  -DCORVANE_WERROR=ON >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/findings

# libFuzzer takes a time limit of 0 as no limit; here 0 runs the seeds only.
limit=(-max_total_time="$seconds")
[ "$seconds" -gt 0 ] || limit=(-runs=0)

passed=0
failed=0
for target in "${targets[@]}"; do
  program=build-fuzz/tests/fuzz/fuzz_$target
  seeds=tests/fuzz/corpus/$target
  log=$work/$target.log
  mkdir -p "$work/$target"
  status=0
  # The first directory takes what the fuzzer adds; the seeds are only read.
  # -timeout: an input that takes 10 s is a hang, and a finding.
  "$program" "${limit[@]}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "$work/$target" "$seeds" >"$log" 2>&1 ||
    status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    printf '%-11s passed: %s executions in %s s\n' "$target" "${executions:-?}" "$seconds"
  else
    failed=$((failed + 1))
    printf '%-11s FAILED (exit %s) after %s executions\n' "$target" "$status" "${executions:-?}"
    grep -E 'property violated|ERROR: |runtime error|SUMMARY' "$log" | head -n 5 | sed 's/^/    /'
    sed -n 's/^.*Test unit written to /    input: /p' "$log"
    echo "    replay: $program <input>"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
