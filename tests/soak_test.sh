#!/usr/bin/env bash
# The soak test: runs tests/fuzz/soak.trv (a million turns of string work,
# with bitmaps, pens, fonts, menus, buttons, clipboard round trips, DDE
# conversations and programs made and ended over and over) and checks that
# the runtime's GDI objects, windows and committed private memory at the
# mark "end" are what they were at the mark "start". tarvofuzz.exe reads the
# counters from outside the process at each mark.
# Usage: tests/soak_test.sh [SCRIPT]   (inside ./test, or on its own)
source "$(dirname "$0")/lib.sh"
cd "$root" || exit 1
script=${1:-tests/fuzz/soak.trv}
need_wine
dir=build/x64/soak
mkdir -p "$dir"
cp "$script" "$dir/soak.trv"
python3 tools/bmpgen/bmpgen.py "$dir" >/dev/null || exit 1
wine build/x64/tarvofuzz.exe --soak "$dir/soak.trv" --work "$dir" --timeout 180000 >"$dir/soak.log" 2>/dev/null 9>&- </dev/null
log=$(tr -d '\r' <"$dir/soak.log")
sed 's/^/    /' <<<"$log"
start=$(grep '^mark start ' <<<"$log")
end=$(grep '^mark end ' <<<"$log")
check "the script reaches both marks and ends normally" '[ -n "$start" ] && [ -n "$end" ] && grep -q "^exit 0 " <<<"$log"' || exit 1
# Memory may move by the heap's own bookkeeping; a leak of a few bytes a
# turn over a million turns, or of one object a round, is far above 512 KiB.
field() { sed -n "s/.* $2 \(-\?[0-9]*\).*/\1/p" <<<"$1"; }
for what in gdi:0 windows:0 private:$((512 * 1024)); do
  name=${what%%:*} slack=${what#*:}
  a=$(field "$start" "$name") b=$(field "$end" "$name")
  check "$name $a -> $b" '[ -n "$a" ] && [ "$a" -ge 0 ] && [ -n "$b" ] && [ $((b - a)) -le "$slack" ]'
done
finish
