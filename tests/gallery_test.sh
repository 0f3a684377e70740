#!/usr/bin/env bash
# The example gallery is current: makes it afresh from examples/*.trv into
# build/gallery_test and compares it with docs/gallery.md and the committed
# pictures docs/gallery/*.png, pixel by pixel. A changed example, a new one
# without its picture, or a runtime that draws differently fails here; run
# ./package --gallery to make the gallery again.
source "$(dirname "$0")/lib.sh"
work=$root/build/gallery_test
rm -rf "$work"
mkdir -p "$work"
check "every example runs and leaves a picture" 'bash "$root/tools/package/gallery.sh" "$work"'
if out=$(diff -u "$root/docs/gallery.md" "$work/gallery.md"); then ok "docs/gallery.md is current"
else not_ok "docs/gallery.md is current" "$(head -20 <<<"$out")"; fi
for name in $( (cd "$root" && ls examples/*.trv docs/gallery/*.png) | sed 's|.*/||; s|\.[a-z]*$||' | sort -u); do
  check "$name: example and picture both committed" '[ -f "$root/examples/$name.trv" ] && [ -f "$root/docs/gallery/$name.png" ]' || continue
  if out=$(python3 "$root/tools/package/pngtool.py" diff "$root/docs/gallery/$name.png" "$work/gallery/$name.png" 2>&1)
  then ok "$name: picture matches"; else not_ok "$name: picture matches" "$out"; fi
done
finish
