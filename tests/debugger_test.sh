#!/usr/bin/env bash
# Debugs real scripts through tarvo-dap and the runtime (build/x64) under
# Wine: tests/debugger_test.py is the editor's side. Both adapters are
# driven: the native one (build/native) and tarvo-dap.exe under Wine.
#
#   tests/debugger_test.sh
#
# Under ./test Wine is already up (WINEPREFIX, DISPLAY); run alone, it
# starts Wine itself with tools/wine.sh.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
adapter=$root/build/native/tarvo-dap
runtime=$root/build/x64/Tarvopro.exe
for f in "$adapter" "$root/build/x64/tarvo-dap.exe" "$runtime"; do
  [ -f "$f" ] || { echo "debugger_test: missing $f (build it first)" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ]; then
  source "$root/tools/wine.sh"
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
fi
work=$root/build/x64/debugger_test
mkdir -p "$work"
x86_64-w64-mingw32-gcc -O2 -o "$work/postkey.exe" "$root/tests/debugger_postkey.c" || exit 1
status=0
for a in "$adapter" "$root/build/x64/tarvo-dap.exe"; do
  echo "-- $a"
  python3 -u "$root/tests/debugger_test.py" "$a" "$runtime" "$work" "$work/postkey.exe" 9>&- || status=1
done
exit $status
