#!/usr/bin/env bash
# SENDKEYS with no Tarvomsg.dll to be found: a copy of the runtime in a
# folder of its own (without the library) runs a case through the driver.
# The script stops with "Cannot locate the Tarvomsg.dll file." as soon as
# keys are to be sent; a title that matches nothing needs no library.
#   tests/sendkeys_nodll_test.sh [BUILD_DIR]     (default: build/x64)
source "$(dirname "$0")/lib.sh"
build=${1:-$root/build/x64}
need "$build/Tarvopro.exe" "$build/tarvodrv.exe" "$build/keytarget.exe" "$build/Tarvomsg.dll"
need_wine
dir=$build/nodll
rm -rf "$dir"
mkdir -p "$dir/cases"
cp "$build/Tarvopro.exe" "$build/keytarget.exe" "$dir/"
cat >"$dir/nodll.cases" <<'CASES'
=== a title that matches nothing needs no library; keys for a window that exists do
--- script
SENDKEYS ("No such window", "abc", 100, 300, R)
STR (R, R$)
MESSAGEBOX (OK, 1, NOICON, R$, "result", B)
RUN ("..\keytarget.exe nodll.ini")
N = 0
wait: WINEXIST ("Key Target", F)
IF F = 1 THEN GOTO found
N = N + 1
IF N > 100 THEN GOTO found
WAITINPUT (50)
GOTO wait
found: SENDKEYS ("Key Target", "abc", 100, 300, R)
MESSAGEBOX (OK, 1, NOICON, "not reached", "result", B)
--- expect
box "result" "0" [OK] -> OK
box "Cannot locate the Tarvomsg.dll file." "found: SENDKEYS (\"Key Target\", \"abc\", 100, 300, R)" [OK] -> OK
exit 0
CASES
wine "$build/tarvodrv.exe" --exe "$dir/Tarvopro.exe" --work "$dir/cases" "$dir/nodll.cases" >"$dir/cases.log" 2>&1 9>&-
tr -d '\r' <"$dir/cases.log"
tr -d '\r' <"$dir/cases.log" | grep -qE '^1 passed, 0 failed$'
