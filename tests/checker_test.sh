#!/usr/bin/env bash
# The checker, the language server and the editor grammar, natively
# (tests/checker_cases.py, lsp_client.py, grammar_check.py), then the
# Windows programs under Wine when ./test has started it: tarvocheck.exe must
# print what the native one prints, and tarvo-lsp.exe answer the same client.
source "$(dirname "$0")/lib.sh"
cd "$root" || exit 1
source tools/build.sh
tarvo_build_native >/dev/null || { echo "checker_test: the native build failed"; exit 1; }
python3 tests/checker_cases.py build/native/tarvocheck . || failed=1
python3 tests/lsp_client.py build/native/tarvo-lsp || failed=1
python3 tests/grammar_check.py editors/vscode/syntaxes/tarvo.tmLanguage.json build/native/tarvocheck || failed=1
if [ -z "${WINEPREFIX:-}" ] || [ ! -f build/x64/tarvocheck.exe ] || [ ! -f build/x64/tarvo-lsp.exe ]; then
  echo "checker_test: Wine not started or the .exe programs not built: Windows programs skipped"
  exit $failed
fi
mkdir -p build/x64/checker_test
printf 'a:\r\nGOTO a\r\nA:\r\nX = = 2\r\nY = Z\r\nDRAWLINE (1, 2)\r\n' >build/x64/checker_test/bad.trv
for f in build/x64/checker_test/bad.trv examples/demo.trv; do
  want=$(build/native/tarvocheck "$f"; echo "exit $?")
  got=$(timeout 60 wine build/x64/tarvocheck.exe "$f" 9>&- | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
  check "tarvocheck.exe $f prints what the native one does" '[ "$got" = "$want" ]' "$got
native:
$want"
done
python3 tests/lsp_client.py wine build/x64/tarvo-lsp.exe 9>&- || failed=1
exit $((failed > 0))
