#!/usr/bin/env bash
# Measures Corvane against bench/reference, a program that does the same three
# jobs with only the file operations each job needs, on generated nodes of
# 2,000, 20,000 and 100,000 tickets. Both run side by side in the same run, on
# fresh copies of the same node, so every figure comes with its ratio.
#
#   scripts/bench.sh [--quick] [--corvane PATH] [--runs N] [--sizes "N ..."]
#                    [--strace-up-to N] [--keep]
#
#   --quick           nodes of 2,000 and 20,000 tickets only, no 64,000 run
#   --corvane PATH    the program to measure (also CORVANE=PATH); by default
#                     the Release build of this tree in build-bench/
#   --runs N          timing runs per program, mode and size; the best counts
#                     (default 3; nodes up to 5,000 tickets get three times as
#                     many: their runs last a fraction of a second, and short
#                     runs suffer most from a busy machine)
#   --sizes "N ..."   other node sizes (the first and last give the scaling)
#   --strace-up-to N  count system calls only for nodes up to N tickets
#                     (default 20000): strace slows a program tenfold or more,
#                     and Corvane's mode 0 at 100,000 tickets would take it
#                     many minutes
#   --keep            leave the work directory (outputs, strace files)
#   --fresh-nodes     generate the nodes anew
#
# The nodes are kept in build-bench/bench-nodes (about 0.8 GB for all four
# sizes) and reused while bench/make_node.cpp is unchanged: writing and above
# all deleting 100,000 tickets takes minutes on a busy disk. Every run works
# on linked copies of them, so they stay as they were made.
#
# Times are taken without strace, from fork to wait4; strace -f -c runs
# separately for the system call counts. Peak RSS is ru_maxrss. Before the
# figures count, the outputs are compared: console lines (but the banner),
# ticbase.dat, the report and what is left in the directories must be the
# same for both programs, or the script says so and exits with 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS

sizes="2000 20000 100000"
memory_size=64000
runs=3
strace_up_to=20000
keep=0
fresh_nodes=0
corvane=${CORVANE:-}
while (($#)); do
  case "$1" in
    --quick) sizes="2000 20000" memory_size= ;;
    --corvane) corvane=$2; shift ;;
    --runs) runs=$2; shift ;;
    --sizes) sizes=$2; shift ;;
    --strace-up-to) strace_up_to=$2; shift ;;
    --keep) keep=1 ;;
    --fresh-nodes) fresh_nodes=1 ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
  shift
done

say() { echo "bench [$((SECONDS - started)) s]: $*" >&2; }

# Tools: strace for the counts, a compiler and CMake for the programs.
missing=()
command -v strace >/dev/null || missing+=(strace)
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
. "$(dirname "$(readlink -f "$0")")/install_missing.sh"
install_missing ${missing[@]+"${missing[@]}"}

build="$root/build-bench"
if [ -z "$corvane" ]; then
  say "building Corvane (Release) in build-bench/"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 >/dev/null
  corvane="$build/corvane"
fi
corvane=$(cd "$(dirname "$corvane")" && pwd)/$(basename "$corvane")
[ -x "$corvane" ] || { echo "no program at $corvane" >&2; exit 1; }

tools="$build/bench-tools"
mkdir -p "$tools"
for tool in make_node reference timed_run; do
  if [ ! -x "$tools/$tool" ] || [ "$root/bench/$tool.cpp" -nt "$tools/$tool" ]; then
    "${CXX:-g++}" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror \
      "$root/bench/$tool.cpp" -o "$tools/$tool"
  fi
done
reference="$tools/reference"

nodes="$build/bench-nodes"
((fresh_nodes == 0)) || rm -rf "$nodes"
mkdir -p "$nodes"
# Makes sure $nodes/<n> holds the node of n tickets that make_node writes now.
node() {
  local n=$1 dir="$nodes/$1" stamp
  stamp="$(sha1sum <"$root/bench/make_node.cpp" | cut -d' ' -f1) $n"
  if [ "$(cat "$dir.stamp" 2>/dev/null)" != "$stamp" ]; then
    say "node of $n tickets: generating"
    rm -rf "$dir" "$dir.stamp"
    "$tools/make_node" "$dir" "$n" >/dev/null
    echo "$stamp" >"$dir.stamp"
  else
    say "node of $n tickets: reading it once, so no timed run meets a cold cache"
    find "$dir/inbound" -name '*.TIC' -exec cat {} + >/dev/null
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-bench-XXXXXX")
cleanup() {
  if ((keep)); then
    say "work directory kept: $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

declare -A time_us=() rss_kb=() calls=() items=() top_calls=()
differences=()

program_of() { [ "$1" = c ] && echo "$corvane" || echo "$reference"; }
name_of() { [ "$1" = c ] && echo Corvane || echo reference; }

# A fresh directory for one run of mode on the node of size n: a linked copy
# of the inbound and BadTics for mode 0 (mode 0 only renames and deletes, so
# the node's own files stay as they are), a copy of the ticbase.dat mode 0
# made for modes 1 and 2 (mode 1 reads the BadTics mode 0 left, unchanged).
prepare() {
  local mode=$1 n=$2 dir=$3
  rm -rf "$dir"
  mkdir -p "$dir"
  case $mode in
    0) cp -al "$nodes/$n/inbound" "$nodes/$n/badtics" "$dir/" ;;
    1) cp "$work/stage-$n/ticbase.dat" "$dir/" ;;
    2) cp "$work/stage-$n/ticbase.dat" "$nodes/$n/prefix.nef" "$nodes/$n/suffix.nef" "$dir/" ;;
  esac
}

arguments_of() {
  local mode=$1 n=$2
  case $mode in
    0) echo "0 inbound badtics" ;;
    1) echo "1 $work/stage-$n/badtics ." ;;
    2) echo "2 * newfiles.txt" ;;
  esac
}

# Runs one program once on a fresh copy; leaves its directory in run-<who>.
timed() {
  local mode=$1 n=$2 who=$3 dir="$work/run-$3"
  prepare "$mode" "$n" "$dir"
  local -a args
  read -r -a args <<<"$(arguments_of "$mode" "$n")"
  local wall rss code
  read -r wall rss code < <("$tools/timed_run" "$dir" "$work/out-$who" "$(program_of "$who")" \
    "${args[@]}")
  if [ "$code" != 0 ]; then
    echo "$(name_of "$who") failed (exit $code) in mode $mode on $n tickets; see $work" >&2
    keep=1
    exit 1
  fi
  local key="$n:$mode:$who"
  if [ -z "${time_us[$key]:-}" ] || ((wall < time_us[$key])); then time_us[$key]=$wall; fi
  if [ -z "${rss_kb[$key]:-}" ] || ((rss > rss_kb[$key])); then rss_kb[$key]=$rss; fi
}

# The same work done by both: what each printed (but the banner), wrote and
# left behind.
compare() {
  local mode=$1 n=$2 c="$work/run-c" r="$work/run-r" what=()
  cmp -s <(tail -n +2 "$work/out-c") <(tail -n +2 "$work/out-r") || what+=("console")
  cmp -s "$c/ticbase.dat" "$r/ticbase.dat" || what+=("ticbase.dat")
  [ "$mode" != 2 ] || cmp -s "$c/newfiles.txt" "$r/newfiles.txt" || what+=("report")
  # ticbase.rep, Corvane's note of a completed report, has no counterpart.
  cmp -s <(cd "$c" && find . ! -name ticbase.rep | sort) <(cd "$r" && find . | sort) ||
    what+=("files left")
  if ((${#what[@]})); then
    differences+=("mode $mode, $n tickets: ${what[*]}")
    say "OUTPUTS DIFFER in mode $mode on $n tickets: ${what[*]}"
  fi
}

counted() {
  local mode=$1 n=$2 who=$3 dir="$work/run-$3" file="$work/strace-$n-$1-$3.txt"
  prepare "$mode" "$n" "$dir"
  local -a args
  read -r -a args <<<"$(arguments_of "$mode" "$n")"
  (cd "$dir" && strace -f -c -o "$file" "$(program_of "$who")" "${args[@]}" >/dev/null)
  calls["$n:$mode:$who"]=$(awk '$NF == "total" { print $4 }' "$file")
  if [ "$who" = c ]; then
    top_calls["$n:$mode"]=$(awk -v items="${items[$n:$mode]}" '
      /^-/ { section++; next } section == 1 && NF >= 5 { print $4, $NF }' "$file" |
      sort -rn | head -4 | awk -v items="${items[$n:$mode]}" '
      { printf "%s%s %.1f", (NR > 1 ? ", " : ""), $2, $1 / items }')
  fi
}

for n in $sizes; do
  node "$n"
  repeats=$runs
  ((n > 5000)) || repeats=$((runs * 3))
  for mode in 0 1 2; do
    say "  mode $mode: $repeats timing runs each"
    for ((run = 1; run <= repeats; run++)); do
      timed "$mode" "$n" c
      timed "$mode" "$n" r
      if ((run == 1)); then
        compare "$mode" "$n"
        if [ "$mode" = 0 ]; then
          # Modes 1 and 2 work on what Corvane's mode 0 left.
          mkdir -p "$work/stage-$n"
          mv "$work/run-c/ticbase.dat" "$work/run-c/badtics" "$work/stage-$n/"
          items["$n:0"]=$n
          records=$(($(stat -c %s "$work/stage-$n/ticbase.dat") / 319))
          items["$n:1"]=$records
          items["$n:2"]=$records
        fi
      fi
    done
    if ((n <= strace_up_to)); then
      say "  mode $mode: counting system calls"
      counted "$mode" "$n" c
      counted "$mode" "$n" r
    fi
  done
  rm -rf "$work/run-c" "$work/run-r" "$work/stage-$n"
done

if [ -n "$memory_size" ]; then
  n=$memory_size
  node "$n"
  say "  mode 0 peak RSS"
  items["$n:0"]=$n
  timed 0 "$n" c
  timed 0 "$n" r
  compare 0 "$n"
  rm -rf "$work/run-c" "$work/run-r"
fi

# ---- the table ----
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.2f", a / b }'; }
per_item() { awk -v a="$1" -v n="$2" 'BEGIN { if (a == "") print "-"; else printf "%.1f", a / n }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

echo
echo "Corvane: $corvane"
echo "Reference: bench/reference.cpp; best of $runs timing runs (of $((runs * 3)) up to 5,000" \
  "tickets); ratio = Corvane / reference"
echo
printf '%-8s %-4s %-7s | %-24s | %-24s | %-24s\n' "" "" "" "time per item, us" \
  "system calls per item" "peak RSS, MiB"
printf '%-8s %-4s %-7s | %8s %8s %6s | %8s %8s %6s | %8s %8s %6s\n' tickets mode items \
  Corvane ref ratio Corvane ref ratio Corvane ref ratio
for n in $sizes; do
  for mode in 0 1 2; do
    k="$n:$mode"
    i=${items[$k]}
    tc=$(per_item "${time_us[$k:c]}" "$i")
    tr=$(per_item "${time_us[$k:r]}" "$i")
    sc=$(per_item "${calls[$k:c]:-}" "$i")
    sr=$(per_item "${calls[$k:r]:-}" "$i")
    printf '%-8s %-4s %-7s | %8s %8s %6s | %8s %8s %6s | %8s %8s %6s\n' "$n" "$mode" "$i" \
      "$tc" "$tr" "$(ratio "${time_us[$k:c]}" "${time_us[$k:r]}")" \
      "$sc" "$sr" "$(ratio "${calls[$k:c]:-}" "${calls[$k:r]:-}")" \
      "$(mib "${rss_kb[$k:c]}")" "$(mib "${rss_kb[$k:r]}")" \
      "$(ratio "${rss_kb[$k:c]}" "${rss_kb[$k:r]}")"
  done
done

read -r -a list <<<"$sizes"
small=${list[0]}
large=${list[${#list[@]} - 1]}
if [ "$small" != "$large" ]; then
  echo
  echo "Time per item at $large tickets / at $small tickets:"
  for mode in 0 1 2; do
    scale_c=$(awk -v a="${time_us[$large:$mode:c]}" -v na="${items[$large:$mode]}" \
      -v b="${time_us[$small:$mode:c]}" -v nb="${items[$small:$mode]}" \
      'BEGIN { printf "%.2f", (a / na) / (b / nb) }')
    scale_r=$(awk -v a="${time_us[$large:$mode:r]}" -v na="${items[$large:$mode]}" \
      -v b="${time_us[$small:$mode:r]}" -v nb="${items[$small:$mode]}" \
      'BEGIN { printf "%.2f", (a / na) / (b / nb) }')
    echo "  mode $mode: Corvane $scale_c, reference $scale_r"
  done
fi

if [ -n "$memory_size" ]; then
  k="$memory_size:0"
  echo
  echo "Mode 0 at $memory_size tickets: peak RSS Corvane $(mib "${rss_kb[$k:c]}") MiB," \
    "reference $(mib "${rss_kb[$k:r]}") MiB; time per item Corvane" \
    "$(per_item "${time_us[$k:c]}" "$memory_size") us, reference" \
    "$(per_item "${time_us[$k:r]}" "$memory_size") us (one run each)"
fi

if ((${#top_calls[@]})); then
  echo
  echo "Corvane's most frequent system calls, per item:"
  for n in $sizes; do
    for mode in 0 1 2; do
      [ -z "${top_calls[$n:$mode]:-}" ] || echo "  $n tickets, mode $mode: ${top_calls[$n:$mode]}"
    done
  done
fi

echo
echo "Whole run: $((SECONDS - started)) s"
if ((${#differences[@]})); then
  echo "The programs did not do the same work:"
  printf '  %s\n' "${differences[@]}"
  exit 1
fi
