#!/usr/bin/env bash
# Zanto with a million quotes. Builds the benchmarks in Release, makes quotes files of a
# million lines (100 MB) and of four million in a temporary folder, and measures every figure
# next to a baseline taken in the same run; prints each ratio with its target, then one line
# per figure. Exits 1 when a target is missed.
#
# Times are compared as processor time (user + system) of the one thread that does the
# work: on a quiet machine that is its wall-clock time, and on a busy one it does not grow
# with what other programs do. Wall-clock ratios are printed beside them.
#
# usage: bench/run.sh
#   BENCH_BUILD_DIR  where to build (default: build-bench in the repository)
#   BENCH_REPS       repetitions of each measurement; the median counts (default: 7). The
#                    whole-process runs against the streaming floor are cheap and noisy:
#                    they are repeated twice as often, and once more.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
need_packages cmake make g++ libbenchmark-dev libgtest-dev googletest
build=${BENCH_BUILD_DIR:-$root/build-bench}
reps=${BENCH_REPS:-7}

echo "== building (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZANTO_TESTS=ON -DZANTO_BENCH=ON \
  >/dev/null
cmake --build "$build" -j"$(nproc)" \
  --target zanto-sim zanto_bench zanto-make-quotes zanto-sim-probe zanto-stream-floor idle_test \
  >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/big" "$work/huge" "$work/small"
"$build/bench/zanto-make-quotes" "$work/big/quotes.txt" 1000000
"$build/bench/zanto-make-quotes" "$work/huge/quotes.txt" 4000000
"$build/bench/zanto-make-quotes" "$work/small/quotes.txt" 10
file_bytes=$(stat -c %s "$work/big/quotes.txt")
huge_bytes=$(stat -c %s "$work/huge/quotes.txt")
small_bytes=$(stat -c %s "$work/small/quotes.txt")
printf 'wait 1000\n' >"$work/first-quote.sim"
printf 'wait 1000\nmenu Settings1\ntray contextmenu\npage 1\ndump\n' >"$work/quote-and-window.sim"
echo "== inputs: quotes.txt of 1000000 lines, $file_bytes bytes, and of 4000000, $huge_bytes" \
  "bytes (CR LF, mixed lengths)"

# --- measurements ------------------------------------------------------------------------

echo "== benchmarks: $reps repetitions each, interleaved at random"
"$build/bench/zanto_bench" --quotes-dir="$work/big" --benchmark_repetitions="$reps" \
  --benchmark_enable_random_interleaving=true --benchmark_min_time=0.3 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv >"$work/bench.csv" \
  2>"$work/bench.err" || {
  cat "$work/bench.err"
  exit 1
}
if grep -q ',true,' "$work/bench.csv"; then
  echo "a benchmark failed:"
  grep ',true,' "$work/bench.csv"
  exit 1
fi

# The median time of a benchmark in ms: cpu (the default) or real.
bench_ms() {
  awk -F, -v name="\"$1_median\"" -v column="$([ "${2:-cpu}" = real ] && echo 3 || echo 4)" '
    $1 == name { f = $5 == "us" ? 0.001 : $5 == "ns" ? 0.000001 : $5 == "s" ? 1000 : 1
                 printf "%.6f", $column * f; found = 1 }
    END { if (!found) exit 1 }' "$work/bench.csv" || {
    echo "no result for $1" >&2
    return 1
  }
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# zanto-sim as a process of its own: each run prints first_balloon_ms, start_cpu_ms (its
# processor time up to the first balloon), wall_ms and peak_rss_bytes.
probe() {
  local dir=$1 scenario=$2 i
  for ((i = 0; i < reps; i++)); do
    "$build/bench/zanto-sim-probe" start "$build/zanto-sim" "$dir/zanto.exe" "$scenario"
  done
}
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" | median; }
# The median of the ratios NUMERATOR / DENOMINATOR of each line, fields named as above.
ratio() {
  sed -n "s/.*$1=\([0-9.]*\).*$2=\([0-9.]*\).*/\1 \2/p" | awk '{ printf "%.6f\n", $1 / $2 }' |
    median
}

echo "== zanto-sim: $reps runs each"
probe "$work/big" "$work/quote-and-window.sim" >"$work/memory.txt"
probe "$work/small" "$work/quote-and-window.sim" >"$work/memory-small.txt"

# Start-up in threes, so that what else the machine does drifts out of the ratio: the parts
# of a start timed on their own (LoadQuoteList and the first refill and shuffle, each in a
# benchmark, and zanto-sim's start with ten quotes, which is its fixed cost), then a whole
# start of zanto-sim with a million right after them.
echo "== start-up: $reps threes of the parts of a start and a zanto-sim start"
for ((i = 0; i < reps; i++)); do
  parts=$("$build/bench/zanto_bench" --quotes-dir="$work/big" \
    --benchmark_filter='^(BM_LoadQuoteList|BM_DeckRefillAndShuffle/1000000)$' \
    --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
    awk -F, '$1 == "\"BM_LoadQuoteList\"" { load = $4; loadWall = $3 }
             $1 == "\"BM_DeckRefillAndShuffle/1000000\"" { deck = $4; deckWall = $3 }
             END { printf "load_cpu_ms=%s load_wall_ms=%s deck_cpu_ms=%s deck_wall_ms=%s",
                   load, loadWall, deck, deckWall }')
  small=$("$build/bench/zanto-sim-probe" start "$build/zanto-sim" "$work/small/zanto.exe" \
    "$work/first-quote.sim" | sed 's/\([a-z_]*\)=/small_\1=/g')
  start=$("$build/bench/zanto-sim-probe" start "$build/zanto-sim" "$work/big/zanto.exe" \
    "$work/first-quote.sim")
  [[ "$parts" =~ load_cpu_ms=[0-9].*deck_cpu_ms=[0-9] ]] || {
    echo "the benchmarks of LoadQuoteList and the deck did not run" >&2
    exit 1
  }
  echo "$parts $small $start" |
    awk '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
           printf "%s parts_cpu_ms=%.3f parts_wall_ms=%.3f\n", $0,
             v["load_cpu_ms"] + v["deck_cpu_ms"] + v["small_start_cpu_ms"],
             v["load_wall_ms"] + v["deck_wall_ms"] + v["small_first_balloon_ms"] }'
done >"$work/start.txt"

# The whole of zanto-sim up to its first quote and its exit, against the streaming floor
# (zanto-stream-floor: the file read through one small buffer, its line feeds counted, as
# `wc -l` does), in pairs, after one run of each that is not counted.
pairs=$((2 * reps + 1))
floor_pairs() {
  local dir=$1 i
  "$build/bench/zanto-sim-probe" run "$build/bench/zanto-stream-floor" "$dir/quotes.txt" >/dev/null
  "$build/bench/zanto-sim-probe" whole "$build/zanto-sim" "$dir/zanto.exe" \
    "$work/first-quote.sim" >/dev/null
  for ((i = 0; i < pairs; i++)); do
    floor=$("$build/bench/zanto-sim-probe" run "$build/bench/zanto-stream-floor" \
      "$dir/quotes.txt" | sed 's/\([a-z_]*\)=/floor_\1=/g')
    whole=$("$build/bench/zanto-sim-probe" whole "$build/zanto-sim" "$dir/zanto.exe" \
      "$work/first-quote.sim" | sed 's/\([a-z_]*\)=/sim_\1=/g')
    echo "$whole $floor"
  done
}
# The floor must see the lines zanto-sim does, or it floors nothing.
for size in big huge; do
  lines=$("$build/bench/zanto-stream-floor" "$work/$size/quotes.txt")
  expected=$([ $size = big ] && echo 1000000 || echo 4000000)
  [ "$lines" = "$expected" ] || {
    echo "zanto-stream-floor counts $lines lines in a file of $expected"
    exit 1
  }
done
echo "== streaming floor: $pairs pairs each of it and a whole zanto-sim to its first quote"
floor_pairs "$work/big" >"$work/floor.txt"
floor_pairs "$work/huge" >"$work/floor-huge.txt"
# `wc -l` itself, for a look at how near the floor is to it.
for ((i = 0; i < reps; i++)); do
  "$build/bench/zanto-sim-probe" run "$(command -v wc)" -l "$work/big/quotes.txt"
done >"$work/wc.txt"

echo "== idle: 30 simulated days (tests/idle_test.cpp)"
idle_ok=1
"$build/tests/idle_test" --gtest_brief=1 --gtest_output="xml:$work/idle.xml" >"$work/idle.out" ||
  idle_ok=0
property() {
  sed -n "s/.*<property name=\"$1\" value=\"\([0-9]*\)\".*/\1/p" "$work/idle.xml" | head -n 1
}
timer_ticks=$(property timer_ticks)
quote_ticks=$(property quote_ticks)

load_ms=$(bench_ms BM_LoadQuoteList)
floor_ms=$(bench_ms BM_ReadWholeFileAndCountLineFeeds)
deck_ms=$(bench_ms BM_DeckRefillAndShuffle/1000000)
bare_ms=$(bench_ms BM_BareArrayFillAndShuffle/1000000)
window_big_ms=$(bench_ms BM_SettingsWindowCreateAndFirstShow/1000000)
window_small_ms=$(bench_ms BM_SettingsWindowCreateAndFirstShow/10)
load_wall_ms=$(bench_ms BM_LoadQuoteList real)
floor_wall_ms=$(bench_ms BM_ReadWholeFileAndCountLineFeeds real)
deck_wall_ms=$(bench_ms BM_DeckRefillAndShuffle/1000000 real)
bare_wall_ms=$(bench_ms BM_BareArrayFillAndShuffle/1000000 real)
window_big_wall_ms=$(bench_ms BM_SettingsWindowCreateAndFirstShow/1000000 real)
window_small_wall_ms=$(bench_ms BM_SettingsWindowCreateAndFirstShow/10 real)
start_cpu_ms=$(field start_cpu_ms <"$work/start.txt")
first_balloon_ms=$(field first_balloon_ms <"$work/start.txt")
parts_cpu_ms=$(field parts_cpu_ms <"$work/start.txt")
start_ratio=$(ratio start_cpu_ms parts_cpu_ms <"$work/start.txt")
start_wall_ratio=$(ratio first_balloon_ms parts_wall_ms <"$work/start.txt")
# Each line of floor.txt: the whole zanto-sim's wall_ms, cpu_ms and peak_rss_bytes, named
# sim_wall_ms and so on, then the floor's, named floor_wall_ms and so on.
for size in big huge; do
  file=$work/floor.txt
  [ $size = huge ] && file=$work/floor-huge.txt
  declare "whole_${size}_ms=$(field sim_cpu_ms <"$file")"
  declare "whole_${size}_wall_ms=$(field sim_wall_ms <"$file")"
  declare "whole_${size}_rss=$(field sim_peak_rss_bytes <"$file")"
  declare "floor_${size}_ms=$(field floor_cpu_ms <"$file")"
  declare "floor_${size}_wall_ms=$(field floor_wall_ms <"$file")"
  declare "floor_${size}_ratio=$(ratio sim_cpu_ms floor_cpu_ms <"$file")"
  declare "floor_${size}_wall_ratio=$(ratio sim_wall_ms floor_wall_ms <"$file")"
done
wc_ms=$(field cpu_ms <"$work/wc.txt")
rss_big=$(field peak_rss_bytes <"$work/memory.txt")
rss_small=$(field peak_rss_bytes <"$work/memory-small.txt")

# --- verdicts ----------------------------------------------------------------------------

failed=0
summary=()
calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }
# verdict NAME RATIO LIMIT WHAT: the ratio must not be above the limit.
verdict() {
  local name=$1 ratio=$2 limit=$3 what=$4 result=PASS
  awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }' || {
    result=FAIL
    failed=1
  }
  printf '%-9s %s\n          ratio %s, target <= %s: %s\n' "$name" "$what" "$ratio" "$limit" "$result"
  summary+=("$(printf '%-4s %-9s ratio %6s, target <= %-5s %s' "$result" "$name" "$ratio" "$limit" "$5")")
}

echo
echo "== figures (medians of $reps)"
verdict loading "$(calc "$load_ms / $floor_ms")" 1.5 \
  "LoadQuoteList $(calc "$load_ms" 1) ms / reading the file whole and counting its line feeds with memchr $(calc "$floor_ms" 1) ms; wall clock $(calc "$load_wall_ms" 1) / $(calc "$floor_wall_ms" 1) ms = $(calc "$load_wall_ms / $floor_wall_ms")" \
  "LoadQuoteList / read whole + memchr"

memory_limit=$(calc "1.3 + 8e6 / $file_bytes")
overhead=$(calc "($rss_big - $rss_small - ($file_bytes - $small_bytes)) / (1000000 - 10)" 1)
verdict memory "$(calc "$rss_big / $file_bytes")" "$memory_limit" \
  "zanto-sim peak RSS $(calc "$rss_big / 1e6" 1) MB / the file's $(calc "$file_bytes / 1e6" 1) MB (limit 1.3 x file + 8 MB); with 10 quotes $(calc "$rss_small / 1e6" 1) MB: $overhead bytes of overhead per quote" \
  "peak RSS / file size; $overhead bytes per quote"

verdict shuffle "$(calc "$deck_ms / $bare_ms")" 1.3 \
  "refill + shuffle of 1000000: $(calc "$deck_ms" 2) ms / the same exchanges on a bare uint32 array $(calc "$bare_ms" 2) ms; wall clock $(calc "$deck_wall_ms / $bare_wall_ms")" \
  "deck refill + shuffle / bare array"

verdict window "$(calc "$window_big_ms / $window_small_ms")" 2 \
  "settings window creation + first show: with 1000000 quotes $(calc "$window_big_ms * 1000" 1) us / with 10 quotes $(calc "$window_small_ms * 1000" 1) us; wall clock $(calc "$window_big_wall_ms / $window_small_wall_ms")" \
  "window with 10^6 quotes / with 10"

# Every quote shown is a tick, so the ratio is 1 at best; a failing test counts as missed.
idle_ratio=99
if [ "$idle_ok" = 1 ] && [ "${quote_ticks:-0}" -gt 0 ] && [ -n "$timer_ticks" ]; then
  idle_ratio=$(calc "$timer_ticks / $quote_ticks")
else
  cat "$work/idle.out"
fi
verdict idle "$idle_ratio" 1 \
  "timer ticks delivered over 30 simulated days ${timer_ticks:-?} / quote ticks ${quote_ticks:-?}, with menus and the window shown and hidden in between" \
  "timer ticks / quote ticks"

# The median of the threes' ratios; 1 s of virtual time costs nothing real.
verdict start-up "$(calc "$start_ratio")" 1.2 \
  "zanto-sim 'wait 1000', start to first balloon $(calc "$start_cpu_ms" 1) ms / its parts on their own $(calc "$parts_cpu_ms" 1) ms (LoadQuoteList, refill + shuffle, a start with 10 quotes); wall clock: first balloon after $(calc "$first_balloon_ms" 1) ms, ratio $(calc "$start_wall_ratio")" \
  "zanto-sim to first balloon / its parts"

verdict floor-1M "$(calc "$floor_big_ratio")" 3.0 \
  "zanto-sim 'wait 1000' with 1000000 quotes, the whole process $(calc "$whole_big_ms" 1) ms / the streaming floor $(calc "$floor_big_ms" 1) ms (wc -l: $(calc "$wc_ms" 1) ms); wall clock $(calc "$whole_big_wall_ms" 1) / $(calc "$floor_big_wall_ms" 1) ms, ratio $(calc "$floor_big_wall_ratio"); peak RSS $(calc "$whole_big_rss / 1e6" 1) MB" \
  "load + first quote, 10^6 / streaming floor"

verdict floor-4M "$(calc "$floor_huge_ratio")" 3.5 \
  "zanto-sim 'wait 1000' with 4000000 quotes, the whole process $(calc "$whole_huge_ms" 1) ms / the streaming floor $(calc "$floor_huge_ms" 1) ms; wall clock $(calc "$whole_huge_wall_ms" 1) / $(calc "$floor_huge_wall_ms" 1) ms, ratio $(calc "$floor_huge_wall_ratio"); peak RSS $(calc "$whole_huge_rss / 1e6" 1) MB, the file $(calc "$huge_bytes / 1e6" 1) MB" \
  "load + first quote, 4x10^6 / streaming floor"

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $failed
