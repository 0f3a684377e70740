#!/usr/bin/env bash
# The tools around the runtime, natively and as Windows programs under Wine
# (inside ./test, or on its own: it starts Wine then):
#   - tarvocheck (tests/checker_cases.py), tarvo-lsp (lsp_client.py) and the
#     editor grammar (grammar_check.py); tarvocheck.exe must print what the
#     native one prints, and tarvo-lsp.exe answer the same client;
#   - both debug adapters debugging real scripts (debugger_test.py);
#   - the headless runner as ./run uses it: the demo driven with steps and
#     answers ends in seconds with the boxes answered as they came, and
#     answers that fit no box, or find none, are reported.
source "$(dirname "$0")/lib.sh"
cd "$root" || exit 1
source tools/build.sh
tarvo_build_native >/dev/null || { echo "tools_test: the native build failed"; exit 1; }
# py NAME ARGS...: one Python client, counted as one result.
py() { local name=$1; shift; local args=("$@"); check "$name" 'python3 -u "${args[@]}" 9>&-'; }
py "checker findings" tests/checker_cases.py build/native/tarvocheck .
py "language server" tests/lsp_client.py build/native/tarvo-lsp
py "editor grammar" tests/grammar_check.py editors/vscode/syntaxes/tarvo.tmLanguage.json build/native/tarvocheck
need build/x64/tarvocheck.exe build/x64/tarvo-lsp.exe build/x64/tarvo-dap.exe build/x64/Tarvopro.exe build/x64/tarvodrv.exe
need_wine
work=build/x64/tools_test
mkdir -p "$work"
printf 'a:\r\nGOTO a\r\nA:\r\nX = = 2\r\nY = Z\r\nDRAWLINE (1, 2)\r\n' >"$work/bad.trv"
for f in "$work/bad.trv" examples/demo.trv; do
  want=$(build/native/tarvocheck "$f"; echo "exit $?")
  got=$(timeout 60 wine build/x64/tarvocheck.exe "$f" 9>&- | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
  check "tarvocheck.exe $f prints what the native one does" '[ "$got" = "$want" ]' "$got
native:
$want"
done
py "language server tarvo-lsp.exe" tests/lsp_client.py wine build/x64/tarvo-lsp.exe

x86_64-w64-mingw32-gcc -O2 -o "$work/postkey.exe" tests/debugger_postkey.c || exit 1
for a in build/native/tarvo-dap build/x64/tarvo-dap.exe; do
  py "debugger $a" tests/debugger_test.py "$root/$a" "$root/build/x64/Tarvopro.exe" "$root/$work" "$root/$work/postkey.exe"
done

# runner NAME WANT_RC EXPECTED_LINES DRIVER ARGS...: the run must also end within 15 s.
runner() {
  local name=$1 want_rc=$2 want=$3 t0=$SECONDS rc got
  shift 3
  # Into a file, not a pipe: Wine's helper processes may keep a pipe open.
  wine build/x64/tarvodrv.exe --run examples/demo.trv --timeout 30000 "$@" >"$work/runner.out" 2>&1 9>&-
  rc=$?
  got=$(tr -d '\r' <"$work/runner.out" | grep -v '^(')
  check "$name ($((SECONDS - t0)) s)" '[ "$got" = "$want" ] && [ "$rc" = "$want_rc" ] && [ $((SECONDS - t0)) -le 15 ]' \
    "exit $rc, printed:
$got"
}
runner "an answer waits for the box that the steps bring" 0 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
waits for input: closed by the driver
exit 0' --steps 'press 110 620; click 300 400; type "q"' --answers "&No"
runner "answers go in order; one that fits no button, and one left over, are reported" 1 \
'box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &No
! answer "Maybe": no such button in box "Tarvo demo" "Leave the demo?" [&Yes &No] -> ?
box "Tarvo demo" "Leave the demo?" [&Yes &No] -> &Yes
! no box came for the answer "&Cancel"
exit 0' --steps 'type "q"; type "q"' --answers "&No, Maybe, &Cancel"
finish
