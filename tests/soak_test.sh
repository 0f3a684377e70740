#!/usr/bin/env bash
# The soak test: runs tests/fuzz/soak.trv (a million turns of string work,
# with bitmaps, pens, fonts, menus, buttons, clipboard round trips, DDE
# conversations and programs made and ended over and over) and checks that
# the runtime's GDI objects, windows and committed private memory at the
# mark "end" are what they were at the mark "start". tarvofuzz.exe reads the
# counters from outside the process at each mark.
# Usage: tests/soak_test.sh [SCRIPT]   (inside ./test, or on its own)
set -u
cd "$(dirname "$0")/.." || exit 1
script=${1:-tests/fuzz/soak.trv}
if [ -z "${TARVO_XVFB_PID:-}" ] && [ -z "${DISPLAY:-}" ]; then
  source tools/wine.sh
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
fi
# Memory may move by the heap's own bookkeeping; a leak of a few bytes a
# turn over a million turns, or of one object a round, is far above these.
GDI_SLACK=0
WINDOW_SLACK=0
MEMORY_SLACK=$((512 * 1024))

dir=build/x64/soak
mkdir -p "$dir"
cp "$script" "$dir/soak.trv"
python3 tools/bmpgen/bmpgen.py "$dir" >/dev/null || exit 1
log=$dir/soak.log
wine build/x64/tarvofuzz.exe --soak "$dir/soak.trv" --work "$dir" --timeout 180000 >"$log" 2>/dev/null 9>&- </dev/null
tr -d '\r' <"$log" | sed 's/^/    /'
start=$(tr -d '\r' <"$log" | grep '^mark start ')
end=$(tr -d '\r' <"$log" | grep '^mark end ')
if [ -z "$start" ] || [ -z "$end" ] || ! tr -d '\r' <"$log" | grep -q '^exit 0 '; then
  echo "soak: the script did not reach both marks and end normally"
  exit 1
fi
field() { echo "$1" | sed -n "s/.* $2 \(-\?[0-9]*\).*/\1/p"; }
status=0
for what in gdi:$GDI_SLACK windows:$WINDOW_SLACK private:$MEMORY_SLACK; do
  name=${what%%:*}
  slack=${what#*:}
  a=$(field "$start" "$name")
  b=$(field "$end" "$name")
  if [ -z "$a" ] || [ "$a" -lt 0 ] || [ -z "$b" ]; then
    echo "soak: no $name counter"
    status=1
  elif [ $((b - a)) -gt "$slack" ]; then
    echo "soak: $name grew from $a to $b"
    status=1
  else
    echo "soak: $name $a -> $b"
  fi
done
exit $status
