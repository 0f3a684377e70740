#!/usr/bin/env bash
# The headless runner as ./run uses it: the demo driven with steps and
# answers together ends in seconds with the boxes answered as they came, and
# answers that fit no box, or find none, are reported. Inside ./test or on its own.
source "$(dirname "$0")/lib.sh"
cd "$root" || exit 1
need build/x64/tarvodrv.exe
need_wine
out=build/x64/runner_test.out
# run NAME WANT_RC EXPECTED_LINES DRIVER ARGS...: the run must also end within 15 s.
run() {
  local name=$1 want_rc=$2 want=$3 t0=$SECONDS rc got
  shift 3
  # Into a file, not a pipe: Wine's helper processes may keep a pipe open.
  wine build/x64/tarvodrv.exe --run examples/demo.trv --timeout 30000 "$@" >"$out" 2>&1 9>&-
  rc=$?
  got=$(tr -d '\r' <"$out" | grep -v '^(')
  check "$name ($((SECONDS - t0)) s)" '[ "$got" = "$want" ] && [ "$rc" = "$want_rc" ] && [ $((SECONDS - t0)) -le 15 ]' \
    "exit $rc, printed:
$got"
}
run "an answer waits for the box that the steps bring" 0 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
waits for input: closed by the driver
exit 0' --steps 'press 110 620; click 300 400; type "q"' --answers "&No"
run "answers go in order; one that fits no button, and one left over, are reported" 1 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
! answer "Maybe": no such button in box "Tarvo demo" "Leave the demo?" [&Yes &No] -> ?
box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &Yes
! no box came for the answer "&Cancel"
exit 0' --steps 'type "q"; type "q"' --answers "&No, Maybe, &Cancel"
finish
