#!/usr/bin/env bash
# Binds scripts into copies of the runtime with tarvobind and runs the bound
# programs under Wine; checks that the binder refuses what it cannot bind.
#
#   tests/binder_test.sh [BUILD_DIR]     (default: build/x64)
#
# Needs BUILD_DIR/Tarvopro.exe and BUILD_DIR/tools/binder/tarvobind.exe,
# wine and xvfb-run. Works in BUILD_DIR/binder_test with a Wine prefix of its
# own there (made on first use, with a virtual desktop so that programs end
# at once and report their exit code). Ends every Wine process of that
# prefix when it finishes.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" 2>/dev/null && pwd) || {
  echo "binder_test: no build directory ${1:-$root/build/x64}" >&2
  exit 1
}
runtime=$build/Tarvopro.exe
binder=$build/tools/binder/tarvobind.exe
for f in "$runtime" "$binder"; do
  [ -f "$f" ] || { echo "binder_test: missing $f (build it first)" >&2; exit 1; }
done

# The bound programs open windows: give them an X display of their own.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$build"
fi

work=$build/binder_test
mkdir -p "$work"
cd "$work" || exit 1
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/.tarvo-desktop" ]; then
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wineserver -w  # the registry is saved when the server ends
  touch "$WINEPREFIX/.tarvo-desktop"
fi
# A desktop process left from an earlier run may belong to a display that is
# gone; start from a clean server.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
wineserver -p
trap 'wineserver -k 2>/dev/null' EXIT

passed=0 failed=0
ok() { echo "ok - $1"; passed=$((passed + 1)); }
not_ok() { echo "FAIL - $1"; failed=$((failed + 1)); [ -n "${2:-}" ] && echo "  $2"; }

# tarvobind ARGS...: exit code in $rc, messages in bind.out.
bind() { wine "$binder" "$@" >bind.out 2>&1; rc=$?; }

# run EXE SECONDS: exit code of the bound program in $rc (124: still running
# when the time ran out; the program is then ended).
run() {
  timeout "$2" wine "$1" >/dev/null 2>&1
  rc=$?
  if [ "$rc" = 124 ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    wineserver -p
  fi
}

# u32 FILE POS: little-endian 32-bit number at byte POS.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
record_at() { grep -obUa 'TarvoScriptOffset:v1:' "$1" | cut -d: -f1; }

cp "$runtime" rt.exe
size=$(stat -c %s rt.exe)
rec=$(record_at rt.exe)
rm -f ./*.trv ./*bound*.exe bind.out

# ---------------------------------------------------------------- binding
printf 'END\r\n' >end.trv
bind rt.exe end.trv bound_end.exe
if [ "$rc" = 0 ] && [ -f bound_end.exe ]; then
  ok "binds a script"
else
  not_ok "binds a script" "exit $rc: $(cat bind.out)"
fi

if [ -f bound_end.exe ]; then
  total=$(stat -c %s bound_end.exe)
  tail_hex=$(tail -c +$((size + 1)) bound_end.exe | od -An -tx1 | tr -d ' \n')
  # Only the four bytes of the offset field may differ from the runtime.
  diffs=$(head -c "$size" bound_end.exe | cmp -l rt.exe - | awk -v f=$((rec + 24)) \
    '$1 - 1 < f || $1 - 1 > f + 3 { bad++ } END { print bad + 0 }')
  if [ "$total" = $((size + 5)) ] && [ "$tail_hex" = 858e844d4a ] &&
     [ "$(u32 bound_end.exe $((rec + 24)))" = "$size" ] && [ "$diffs" = 0 ] &&
     cmp -s rt.exe "$runtime"; then
    ok "layout: runtime, offset field = runtime size, script + 64"
  else
    not_ok "layout" "size $total (runtime $size), tail $tail_hex, field $(u32 bound_end.exe $((rec + 24))), $diffs stray differences"
  fi
fi

# ---------------------------------------------------------------- running
# Runtime start-up failures end with exit code 0 too, but script errors
# leave an error box open: a prompt exit means the bound text was read,
# unscrambled and run to its END.
run bound_end.exe 30
if [ "$rc" = 0 ]; then ok "bound END script runs and ends"; else not_ok "bound END script runs and ends" "exit $rc"; fi

# More than two 4096-byte read chunks, a label on the first line, comments
# full of bytes above 127, and literals holding bytes from 0xC0 up, which wrap
# around when scrambled: CHR makes the same bytes from their codes, and a
# mismatch jumps to a label that does not exist. Were the wrapped bytes not
# restored exactly, 0xDA, 0xBB and 0xBD would also turn into Ctrl-Z and
# braces inside the comments.
high=$(printf "$(printf '\\%03o' $(seq 128 255))")
{
  printf 'Start:\r\n'
  for i in $(seq 1 80); do printf '{ %s %s }\r\n' "$i" "$high"; done
  for code in 192 218 255; do
    byte=$(printf "\\$(printf %03o "$code")")
    printf 'CHR(%s, A$) | IF A$ <> "%s" THEN GOTO Mismatch\r\n' "$code" "$byte"
  done
  printf 'END\r\n'
} >long.trv
bind rt.exe long.trv bound_long.exe
run bound_long.exe 30
if [ "$rc" = 0 ] && [ "$(stat -c %s long.trv)" -gt 8192 ]; then
  ok "long script with high bytes runs and ends"
else
  not_ok "long script with high bytes runs and ends" "exit $rc"
fi

# A script error keeps the runtime open with its error box: the bound script
# is what runs, not some empty text.
printf 'GOTO NoSuchLabel\r\nEND\r\n' >error.trv
bind rt.exe error.trv bound_error.exe
run bound_error.exe 8
if [ "$rc" = 124 ]; then ok "bound script with an error stops at the error"; else not_ok "bound script with an error stops at the error" "exit $rc"; fi

# The hook library lying beside the runtime goes along to the output's folder.
mkdir -p withdll/out
cp rt.exe withdll/
printf 'hook library stand-in' >withdll/Tarvomsg.dll
bind withdll/rt.exe end.trv withdll/out/bound.exe
if [ "$rc" = 0 ] && cmp -s withdll/Tarvomsg.dll withdll/out/Tarvomsg.dll; then
  ok "Tarvomsg.dll is copied beside the bound program"
else
  not_ok "Tarvomsg.dll is copied beside the bound program" "exit $rc: $(cat bind.out)"
fi
rm -rf withdll

# ---------------------------------------------------------------- refusals
# expect_refusal NAME EXIT TEXT ARGS...: tarvobind exits with EXIT, says TEXT
# and leaves no output file.
expect_refusal() {
  local name=$1 want=$2 text=$3 out=${*: -1}
  shift 3
  rm -f "$out" 2>/dev/null
  bind "$@"
  if [ "$rc" = "$want" ] && grep -qi -- "$text" bind.out && [ ! -e "$out" ]; then
    ok "$name"
  else
    not_ok "$name" "exit $rc: $(cat bind.out)"
  fi
}

bind
if [ "$rc" = 2 ] && grep -q usage bind.out; then ok "usage without arguments"; else not_ok "usage without arguments" "exit $rc"; fi

expect_refusal "refuses an already bound runtime" 1 "already" bound_end.exe end.trv again.exe
expect_refusal "refuses a file without the record" 1 "not found" end.trv end.trv nomark.exe
{ cat rt.exe; tail -c +$((rec + 1)) rt.exe | head -c 28; } >twice.exe
expect_refusal "refuses a runtime with two records" 1 "more than once" twice.exe end.trv two.exe
expect_refusal "missing runtime" 1 "runtime 'nosuch.exe'" nosuch.exe end.trv out1.exe
expect_refusal "missing script" 1 "script 'nosuch.trv'" rt.exe nosuch.trv out2.exe
expect_refusal "unwritable output" 1 "output" rt.exe end.trv nodir/out3.exe

bind rt.exe end.trv rt.exe
if [ "$rc" = 1 ] && cmp -s rt.exe "$runtime"; then
  ok "refuses to overwrite its input"
else
  not_ok "refuses to overwrite its input" "exit $rc: $(cat bind.out)"
fi

echo "binder_test: $passed passed, $failed failed"
[ "$failed" = 0 ]
