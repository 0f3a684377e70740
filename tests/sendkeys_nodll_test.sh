#!/usr/bin/env bash
# SENDKEYS with no Tarvomsg.dll to be found: a copy of the runtime in a
# folder of its own (without the library) runs a case through the driver.
# The script stops with "Cannot locate the Tarvomsg.dll file." as soon as
# keys are to be sent; a title that matches nothing needs no library.
#
#   tests/sendkeys_nodll_test.sh [BUILD_DIR]     (default: build/x64)
#
# Runs inside the Wine that ./test started; started on its own, it starts one.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" 2>/dev/null && pwd) || {
  echo "sendkeys_nodll_test: no build directory" >&2
  exit 1
}
for f in Tarvopro.exe tarvodrv.exe keytarget.exe Tarvomsg.dll; do
  [ -f "$build/$f" ] || { echo "sendkeys_nodll_test: missing $build/$f (build it first)" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  source "$root/tools/wine.sh"
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
fi

dir=$build/nodll
rm -rf "$dir"
mkdir -p "$dir/cases"
cp "$build/Tarvopro.exe" "$build/keytarget.exe" "$dir/"
cat >"$dir/nodll.cases" <<'CASES'
=== a title that matches nothing needs no library
--- script
SENDKEYS ("No such window", "abc", 100, 300, R)
STR (R, R$)
MESSAGEBOX (OK, 1, NOICON, R$, "result", B)
--- expect
box "result" "0" [OK] -> OK
exit 0

=== keys for a window that exists: the library is missing
--- script
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
box "Cannot locate the Tarvomsg.dll file." "found: SENDKEYS (\"Key Target\", \"abc\", 100, 300, R)" [OK] -> OK
exit 0
CASES
wine "$build/tarvodrv.exe" --exe "$dir/Tarvopro.exe" --work "$dir/cases" "$dir/nodll.cases" 9>&- | tee "$dir/cases.log"
tr -d '\r' <"$dir/cases.log" | grep -qE '^2 passed, 0 failed$'
