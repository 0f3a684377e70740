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
rm -rf ./*.trv ./*.exe ./*.bin bind.out withdll

# tarvobind ARGS...: exit code in $rc, messages in bind.out.
bind() { wine "$binder" "$@" >bind.out 2>&1 9>&-; rc=$?; }
# run EXE SECONDS: exit code of the bound program in $rc (124: still running
# when the time ran out, and ended then).
run() { timeout "$2" wine "$1" >/dev/null 2>&1 9>&-; rc=$?; }

cp "$runtime" rt.exe
size=$(stat -c %s rt.exe)
rec=$(grep -obUa 'TarvoScriptOffset:v1:' rt.exe | cut -d: -f1)

printf 'END\r\n' >end.trv
bind rt.exe end.trv bound_end.exe
check "binds a script" '[ "$rc" = 0 ] && [ -f bound_end.exe ]' "exit $rc: $(cat bind.out)"
# The bound program is the runtime with its offset field (24 bytes into the
# record) set to the runtime's size, then the script, each byte plus 64.
le32() { printf "$(printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)))"; }
{ head -c $((rec + 24)) rt.exe; le32 "$size"; tail -c +$((rec + 29)) rt.exe; printf '\x85\x8e\x84\x4d\x4a'; } >want.bin
check "layout: runtime, offset field = runtime size, script + 64" 'cmp -s want.bin bound_end.exe && cmp -s rt.exe "$runtime"' \
  "$(cmp want.bin bound_end.exe 2>&1)"

# Script errors leave an error box open (start-up failures end with exit
# code 0 too): a prompt exit means that the bound text was read, unscrambled
# and run to its END. The long script has more than two 4096-byte read
# chunks, a label on the first line, comments full of bytes above 127, and
# literals of bytes from 0xC0 up, which wrap around when scrambled: CHR makes
# the same bytes, and a mismatch jumps to a label that does not exist. Were
# the wrapped bytes not restored exactly, 0xDA, 0xBB and 0xBD would also turn
# into Ctrl-Z and braces inside the comments.
printf 'GOTO NoSuchLabel\r\nEND\r\n' >error.trv
bind rt.exe error.trv bound_error.exe
run bound_error.exe 8
check "bound script with an error stops at the error" '[ "$rc" = 124 ]' "exit $rc"
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
check "bound long script with high bytes runs and ends" '[ "$rc" = 0 ] && [ "$(stat -c %s long.trv)" -gt 8192 ]' "exit $rc"

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
