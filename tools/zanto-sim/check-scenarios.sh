#!/usr/bin/env bash
# Runs the scenarios in scenarios/ through zanto-sim and compares each trace with the one
# kept beside it. The first line of a scenario names zanto-sim's options. CTest runs each
# scenario as a test of its own.
# usage: check-scenarios.sh ZANTO_SIM [--update] [NAME.sim ...]   (no names: every one)
set -euo pipefail
sim=$(realpath "$1")
shift
update=
if [ "${1:-}" = "--update" ]; then
  update=1
  shift
fi
cd "$(dirname "$0")/scenarios"
[ $# -gt 0 ] || set -- *.sim
diff_out=$(mktemp)
trap 'rm -f "$diff_out"' EXIT
failed=0
for scenario in "$@"; do
  args=$(head -n 1 "$scenario" | sed -n 's/^# zanto-sim //p')
  expected=${scenario%.sim}.trace
  # shellcheck disable=SC2086
  actual=$("$sim" $args "$scenario") || { echo "FAIL $scenario: zanto-sim exited $?"; failed=1; continue; }
  if [ -n "$update" ]; then
    printf '%s\n' "$actual" >"$expected"
    echo "updated $expected"
  elif diff -u "$expected" <(printf '%s\n' "$actual") >"$diff_out"; then
    echo "ok   $scenario ($(printf '%s\n' "$actual" | wc -l) trace lines)"
  else
    echo "FAIL $scenario"; cat "$diff_out"; failed=1
  fi
done
exit $failed
