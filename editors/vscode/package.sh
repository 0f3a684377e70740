#!/usr/bin/env bash
# Makes the extension's package build/vscode/tarvo-VERSION.vsix, with the
# language server for Linux (build/native/tarvo-lsp) and Windows
# (build/x64/tarvo-lsp.exe) in its server folder; build them first. Needs
# node and npm: vscode-languageclient and the packager @vscode/vsce come from
# the npm registry.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/vscode
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage/server"
cp -r "$root/editors/vscode/." "$stage/"
for f in "$root/build/native/tarvo-lsp" "$root/build/x64/tarvo-lsp.exe"; do
  if [ -f "$f" ]; then cp "$f" "$stage/server/"; else echo "package.sh: $f is not built" >&2; exit 1; fi
done
# The debug adapter goes in bin/ when it was built.
mkdir -p "$stage/bin"
for f in "$root/build/native/tarvo-dap" "$root/build/x64/tarvo-dap.exe"; do
  [ -f "$f" ] && cp "$f" "$stage/bin/"
done
version=$(node -p "require('$stage/package.json').version")
cd "$stage"
npm install --omit=dev --no-audit --no-fund --loglevel=error >/dev/null
npx --yes @vscode/vsce@3 package --skip-license --out "$out/tarvo-$version.vsix"
echo "$out/tarvo-$version.vsix"
