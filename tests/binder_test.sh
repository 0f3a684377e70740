#!/usr/bin/env bash
# Binds scripts into copies of the runtime with tarvobind, runs the bound
# programs under Wine and checks that the binder refuses what it cannot bind.
#   tests/binder_test.sh [BUILD_DIR]     (default: build/x64)
source "$(dirname "$0")/lib.sh"
build=$(cd "${1:-$root/build/x64}" && pwd) || exit 1
runtime=$build/Tarvopro.exe
binder=$build/tools/binder/tarvobind.exe
need "$runtime" "$binder"
need_wine
mkdir -p "$build/binder_test"
cd "$build/binder_test" || exit 1
rm -rf ./*.trv ./*.exe bind.out withdll

# tarvobind ARGS...: exit code in $rc, messages in bind.out.
bind() { wine "$binder" "$@" >bind.out 2>&1 9>&-; rc=$?; }
# run EXE SECONDS: exit code of the bound program in $rc (124: still running
# when the time ran out, and ended then).
run() { timeout "$2" wine "$1" >/dev/null 2>&1 9>&-; rc=$?; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

cp "$runtime" rt.exe
size=$(stat -c %s rt.exe)
rec=$(grep -obUa 'TarvoScriptOffset:v1:' rt.exe | cut -d: -f1)

printf 'END\r\n' >end.trv
bind rt.exe end.trv bound_end.exe
check "binds a script" '[ "$rc" = 0 ] && [ -f bound_end.exe ]' "exit $rc: $(cat bind.out)"
# The bound program is the runtime with its offset field set to the
# runtime's size (only those four bytes differ), then the script, each byte
# plus 64 modulo 256 ("END\r\n" becomes 85 8e 84 4d 4a).
tail_hex=$(tail -c +$((size + 1)) bound_end.exe | od -An -tx1 | tr -d ' \n')
diffs=$(head -c "$size" bound_end.exe | cmp -l rt.exe - | awk -v f=$((rec + 24)) \
  '$1 - 1 < f || $1 - 1 > f + 3 { bad++ } END { print bad + 0 }')
field=$(u32 bound_end.exe $((rec + 24)))
check "layout: runtime, offset field = runtime size, script + 64" \
  '[ "$tail_hex" = 858e844d4a ] && [ "$field" = "$size" ] && [ "$diffs" = 0 ] && cmp -s rt.exe "$runtime"' \
  "tail $tail_hex, field $field (runtime $size), $diffs stray differences"

# Start-up failures of the runtime end with exit code 0 too, but script
# errors leave an error box open: a prompt exit means the bound text was
# read, unscrambled and run to its END; a script error keeps it open.
run bound_end.exe 30
check "bound END script runs and ends" '[ "$rc" = 0 ]' "exit $rc"
printf 'GOTO NoSuchLabel\r\nEND\r\n' >error.trv
bind rt.exe error.trv bound_error.exe
run bound_error.exe 8
check "bound script with an error stops at the error" '[ "$rc" = 124 ]' "exit $rc"

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
    printf 'CHR(%s, A$) | IF A$ <> "%b" THEN GOTO Mismatch\r\n' "$code" "\\$(printf %03o "$code")"
  done
  printf 'END\r\n'
} >long.trv
bind rt.exe long.trv bound_long.exe
run bound_long.exe 30
check "long script with high bytes runs and ends" '[ "$rc" = 0 ] && [ "$(stat -c %s long.trv)" -gt 8192 ]' "exit $rc"

# The hook library lying beside the runtime goes along to the output's folder.
mkdir -p withdll/out
cp rt.exe withdll/
printf 'hook library stand-in' >withdll/Tarvomsg.dll
bind withdll/rt.exe end.trv withdll/out/bound.exe
check "Tarvomsg.dll is copied beside the bound program" \
  '[ "$rc" = 0 ] && cmp -s withdll/Tarvomsg.dll withdll/out/Tarvomsg.dll' "exit $rc: $(cat bind.out)"

# Refusals: tarvobind exits with the code, says the text and leaves no output
# file (the last argument). Without arguments it prints its usage.
{ cat rt.exe; tail -c +$((rec + 1)) rt.exe | head -c 28; } >twice.exe
while IFS='|' read -r name want text args; do
  bind $args
  check "$name" '[ "$rc" = "$want" ] && grep -qi -- "$text" bind.out && [ ! -e "${args##* }" ]' \
    "exit $rc: $(cat bind.out)"
done <<'ROWS'
usage without arguments|2|usage|
refuses an already bound runtime|1|already|bound_end.exe end.trv again.exe
refuses a file without the record|1|not found|end.trv end.trv nomark.exe
refuses a runtime with two records|1|more than once|twice.exe end.trv two.exe
missing runtime|1|runtime 'nosuch.exe'|nosuch.exe end.trv out1.exe
missing script|1|script 'nosuch.trv'|rt.exe nosuch.trv out2.exe
unwritable output|1|output|rt.exe end.trv nodir/out3.exe
ROWS
bind rt.exe end.trv rt.exe
check "refuses to overwrite its input" '[ "$rc" = 1 ] && cmp -s rt.exe "$runtime"' "exit $rc: $(cat bind.out)"
finish
