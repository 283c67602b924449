#!/usr/bin/env bash
# A long life in the tray: zanto-sim through 100,000 quote ticks (four centuries of virtual
# time) with 10,000 menu commands, balloon clicks, balloon time-outs and shell restarts in
# between, then the Exit command. Fails unless
#   - the program ends cleanly (built with the sanitizers: no leak, no memory error),
#   - every pass through the deck shows each quote exactly once (read from the trace),
#   - the icon is never added twice without a removal, and no error box comes up,
#   - resident memory does not grow with the length of the run: the peak of the whole run
#     stays within a small margin of the peak of a run one tenth as long.
# usage: scripts/soak.sh ZANTO_SIM [TICKS]   (TICKS: 100000 unless given)
set -euo pipefail
sim=$(realpath "$1")
ticks=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 997 quotes with CR LF ends: duplicates, an empty line and a 300-byte line among them, all
# printable ASCII without quote marks or backslashes, so that the trace shows them verbatim.
# expected.txt holds what each balloon shows of them, one a line.
awk -v quotes="$work/quotes.txt" -v expected="$work/expected.txt" 'BEGIN {
  for (i = 0; i < 997; i++) {
    q = "Quote " i ": patience is a form of action."
    if (i % 100 == 7) q = "The same line, again and again."
    if (i == 500) q = ""
    if (i == 42) { q = ""; for (j = 0; j < 30; j++) q = q "0123456789" }
    printf "%s\r\n", q > quotes
    print substr(q, 1, 255) > expected
  }
}'

# The scenario: one wait of 36 hours (the mean gap between quotes) per tick, and every tenth
# wait followed by one of ten things a user or the shell does.
script() {
  awk -v n="$1" 'BEGIN {
    split("tellmemore settings page ok about close balloonclick taskbarcreated menunone balloontimeout", kinds, " ")
    for (i = 1; i <= n; i++) {
      print "wait 129600000"
      if (i % 10) continue
      k = kinds[(i / 10) % 10 + 1]
      if (k == "tellmemore") print "menu ellmemoreZanto1\ntray contextmenu\nwait 10"
      else if (k == "settings") print "menu Settings1\ntray contextmenu"
      else if (k == "page") print "page 1"
      else if (k == "ok") print "click BitBtn2"
      else if (k == "about") print "menu AboutZanto1\ntray contextmenu"
      else if (k == "close") print "close"
      else if (k == "balloonclick") print "tray balloonclick"
      else if (k == "taskbarcreated") print "taskbarcreated"
      else if (k == "menunone") print "menu none\ntray rbuttondown\ntray rbuttonup\ntray contextmenu"
      else print "wait 11000\ntray balloontimeout"
    }
    print "menu Exit1\ntray contextmenu"
  }'
}

# Runs the program over a scenario of that many ticks, the trace into trace-TICKS; prints its
# peak resident memory in KiB.
run() {
  [ -f "$work/soak-$1.sim" ] || script "$1" >"$work/soak-$1.sim"
  (cd "$work" && /usr/bin/time -f %M -o "$work/rss-$1" \
    "$sim" --exe "$work/zanto.exe" --utc 03:14:15.926 "soak-$1.sim" >"$work/trace-$1")
  cat "$work/rss-$1"
}

start=$SECONDS
# Built with the sanitizers: every memory error stops the run, and leaks are looked for at
# the end.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} run "$ticks" >/dev/null
# The memory the address sanitizer holds back on purpose after each free would pass for growth:
# the two runs that are measured keep none.
short=$(ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0 run $((ticks / 10)))
long=$(ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0 run "$ticks")
echo "soak: $ticks ticks in $((SECONDS - start)) s (three runs);" \
  "peak resident memory ${long} KiB against ${short} KiB for $((ticks / 10)) ticks"

awk -v ticks="$ticks" -v short="$short" -v long="$long" '
  FNR == NR { n++; want[$0]++; next }
  /"op":"errorbox"/ { print "soak: an error box came up: " $0; bad = 1 }
  /"op":"exit"/ { exited = 1 }
  /"msg":"NIM_ADD"/ { if (added) { print "soak: the icon was added twice"; bad = 1 } added = 1 }
  /"msg":"NIM_DELETE"/ { added = 0 }
  /"msg":"NIM_MODIFY"/ && /"uFlags":16/ && /"title":"Did you know\?"/ {
    match($0, /"info":"[^"]*"/)
    q = substr($0, RSTART + 8, RLENGTH - 9)
    shown++; got[q]++
    if (got[q] > want[q]) { print "soak: pass " passes + 1 " showed \"" q "\" too often"; bad = 1 }
    if (++k == n) { k = 0; passes++; split("", got) }
  }
  END {
    if (!exited) { print "soak: the program did not end with the Exit command"; bad = 1 }
    if (shown < ticks) { print "soak: only " shown " quotes came up"; bad = 1 }
    # A little slack for allocator rounding; anything that grows by as little as 24 bytes a
    # tick shows over the nine tenths of the run that the short run lacks.
    if (long > short + 2048) { print "soak: resident memory grew with the run"; bad = 1 }
    printf "soak: %d quotes in %d whole passes of %d; deck invariant %s\n", shown, passes, n,
      bad ? "BROKEN" : "held"
    exit bad
  }' "$work/expected.txt" "$work/trace-$ticks"
