#!/usr/bin/env bash
# The headless runner as ./run uses it: the demo driven with steps and
# answers together ends in seconds with the boxes answered as they came, and
# answers that fit no box, or find none, are reported.
#
#   tests/runner_test.sh     (inside ./test, or by itself: it starts Wine then)
set -u
cd "$(dirname "$0")/.." || exit 1
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  source tools/wine.sh
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
fi
drv=build/x64/tarvodrv.exe
[ -f "$drv" ] || { echo "runner_test: missing $drv (build it first)" >&2; exit 1; }

out=build/x64/runner_test.out
passed=0 failed=0
# check NAME WANT_RC MAX_SECONDS EXPECTED_LINES -- DRIVER ARGS...
check() {
  local name=$1 want_rc=$2 max_s=$3 want=$4
  shift 5
  local t0 got rc secs
  t0=$(date +%s)
  # Into a file, not a pipe: Wine's helper processes may keep a pipe open.
  wine "$drv" --run examples/demo.trv --timeout 30000 "$@" >"$out" 2>&1 9>&-
  rc=$?
  secs=$(($(date +%s) - t0))
  got=$(tr -d '\r' <"$out" | grep -v '^(')
  if [ "$got" = "$want" ] && [ "$rc" -eq "$want_rc" ] && [ "$secs" -le "$max_s" ]; then
    echo "ok - $name (${secs} s)"
    passed=$((passed + 1))
  else
    echo "FAIL - $name: exit $rc after ${secs} s, printed:"
    printf '%s\n' "$got" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
}

check "an answer waits for the box that the steps bring" 0 15 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
waits for input: closed by the driver
exit 0' -- --steps 'press 110 620; click 300 400; type "q"' --answers "&No"

check "answers go in order; one that fits no button, and one left over, are reported" 1 15 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
! answer "Maybe": no such button in box "Tarvo demo" "Leave the demo?" [&Yes &No] -> ?
box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &Yes
! no box came for the answer "&Cancel"
exit 0' -- --steps 'type "q"; type "q"' --answers "&No, Maybe, &Cancel"

echo "runner_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
