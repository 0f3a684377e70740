#!/usr/bin/env bash
# Debugs real scripts through both adapters, the native one (build/native)
# and tarvo-dap.exe under Wine, with the runtime of build/x64:
# tests/debugger_test.py is the editor's side. Inside ./test or on its own.
source "$(dirname "$0")/lib.sh"
runtime=$root/build/x64/Tarvopro.exe
need "$root/build/native/tarvo-dap" "$root/build/x64/tarvo-dap.exe" "$runtime"
need_wine
work=$root/build/x64/debugger_test
mkdir -p "$work"
x86_64-w64-mingw32-gcc -O2 -o "$work/postkey.exe" "$root/tests/debugger_postkey.c" || exit 1
for a in "$root/build/native/tarvo-dap" "$root/build/x64/tarvo-dap.exe"; do
  echo "-- $a"
  python3 -u "$root/tests/debugger_test.py" "$a" "$runtime" "$work" "$work/postkey.exe" 9>&- || failed=1
done
exit $failed
