#!/usr/bin/env bash
# Runs every scenario in scenarios/ through zanto-sim and compares the trace with the one
# kept beside it. The first line of a scenario names zanto-sim's options.
# usage: check-scenarios.sh ZANTO_SIM [--update]
set -euo pipefail
sim=$(realpath "$1")
update=${2:-}
cd "$(dirname "$0")/scenarios"
failed=0
for scenario in *.sim; do
  args=$(head -n 1 "$scenario" | sed -n 's/^# zanto-sim //p')
  expected=${scenario%.sim}.trace
  # shellcheck disable=SC2086
  actual=$("$sim" $args "$scenario") || { echo "FAIL $scenario: zanto-sim exited $?"; failed=1; continue; }
  if [ "$update" = "--update" ]; then
    printf '%s\n' "$actual" >"$expected"
    echo "updated $expected"
  elif diff -u "$expected" <(printf '%s\n' "$actual") >/tmp/zanto-scenario.diff; then
    echo "ok   $scenario ($(printf '%s\n' "$actual" | wc -l) trace lines)"
  else
    echo "FAIL $scenario"; cat /tmp/zanto-scenario.diff; failed=1
  fi
done
exit $failed
