#!/usr/bin/env bash
# The checker, the language server and the editor grammar:
#   - tarvocheck finds each kind of mistake on a script of its own, gives no
#     error on the examples and on every case script that the runtime runs
#     cleanly, and names the line of every case that ends in a syntax box;
#   - tarvo-lsp answers a protocol client over pipes;
#   - the TextMate grammar gives keywords, labels, strings, numbers and
#     comments their scopes and knows every keyword of the runtime's tables;
#   - the Windows programs (under Wine, when ./test has started it) give the
#     same findings and answer the same client.
set -u
cd "$(dirname "$0")/.." || exit 1
source tools/build.sh
if ! tarvo_build_native >/dev/null; then
  echo "checker_test: the native build failed"
  exit 1
fi
fail=0
python3 tests/checker_cases.py build/native/tarvocheck . || fail=1
python3 tests/lsp_client.py build/native/tarvo-lsp || fail=1
python3 tests/grammar_check.py editors/vscode/syntaxes/tarvo.tmLanguage.json build/native/tarvocheck || fail=1

if [ -n "${WINEPREFIX:-}" ] && [ -f build/x64/tarvocheck.exe ] && [ -f build/x64/tarvo-lsp.exe ]; then
  work=build/x64/checker_test
  mkdir -p "$work"
  printf 'a:\r\nGOTO a\r\nA:\r\nX = = 2\r\nY = Z\r\nDRAWLINE (1, 2)\r\n' >"$work/bad.trv"
  for f in "$work/bad.trv" examples/demo.trv; do
    native=$(build/native/tarvocheck "$f"; echo "exit $?")
    windows=$(timeout 60 wine build/x64/tarvocheck.exe "$f" 9>&- | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
    if [ "$native" != "$windows" ]; then
      echo "FAIL tarvocheck.exe $f:"
      echo "$windows"
      echo "native:"
      echo "$native"
      fail=1
    fi
  done
  python3 tests/lsp_client.py wine build/x64/tarvo-lsp.exe 9>&- || fail=1
else
  echo "checker_test: Wine not started or the .exe programs not built: Windows programs skipped"
fi
exit $fail
