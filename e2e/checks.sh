# The tally the end-to-end scripts keep, sourced by them:
#
#   check WHAT COMMAND...   runs COMMAND as one step: printed "ok" or "FAIL", counted, and
#                           its status returned, so that a scenario may stop at a failed step
#   tally NAME              the closing line, "NAME: P passed, F failed"; fails if a step did
#   in_private_display SCRIPT ARGS...
#                           runs SCRIPT anew inside an X server of its own (once: the second
#                           time through it returns), so that no window reaches the user's
PASSED=0
FAILED=0

check() {
  local what="$1"
  shift
  if "$@"; then
    echo "  ok    $what"
    PASSED=$((PASSED + 1))
    return 0
  fi
  echo "  FAIL  $what"
  FAILED=$((FAILED + 1))
  return 1
}

tally() {
  echo "$1: $PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}

in_private_display() {
  [ -n "${ZANTO_E2E_DISPLAY_READY:-}" ] && return 0
  export ZANTO_E2E_DISPLAY_READY=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$@"
}
