#!/usr/bin/env bash
# The example gallery is current: makes it afresh from examples/*.trv into
# build/gallery_test and compares it with docs/gallery.md and the committed
# pictures docs/gallery/*.png, pixel by pixel. A changed example, a new one
# without its picture, or a runtime that draws differently fails here; run
# ./package --gallery to make the gallery again.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/gallery_test
rm -rf "$work"
mkdir -p "$work"

passed=0 failed=0
ok() { echo "ok - $1"; passed=$((passed + 1)); }
not_ok() { echo "FAIL - $1"; failed=$((failed + 1)); [ -n "${2:-}" ] && echo "  $2"; }

if bash "$root/tools/package/gallery.sh" "$work"; then
  ok "every example runs and leaves a picture"
else
  not_ok "every example runs and leaves a picture"
fi

if diff -u "$root/docs/gallery.md" "$work/gallery.md" >"$work/page.diff"; then
  ok "docs/gallery.md is current"
else
  not_ok "docs/gallery.md is current" "$(head -20 "$work/page.diff")"
fi

for script in "$root"/examples/*.trv; do
  name=$(basename "$script" .trv)
  committed=$root/docs/gallery/$name.png
  if [ ! -f "$committed" ]; then
    not_ok "$name: picture committed" "docs/gallery/$name.png is missing"
    continue
  fi
  if out=$(python3 "$root/tools/package/pngtool.py" diff "$committed" "$work/gallery/$name.png" 2>&1); then
    ok "$name: picture matches"
  else
    not_ok "$name: picture matches" "$out"
  fi
done
for png in "$root"/docs/gallery/*.png; do
  [ -f "$png" ] || continue
  name=$(basename "$png" .png)
  [ -f "$root/examples/$name.trv" ] || not_ok "$name: picture of an example" "no examples/$name.trv"
done

echo "gallery_test: $passed passed, $failed failed"
[ "$failed" = 0 ]
