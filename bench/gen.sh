#!/usr/bin/env bash
# Writes the benchmark scripts into the folder given (Tarvo, Lua, VBScript,
# batch, bash).
# gen.sh DIR TURNS
# The Tarvo and Lua loops run ten times as many turns (and Tarvo draws ten
# times as many lines and texts) so that their time stands well above the
# noise of a process start; the runner divides by ten. The Lua loops use
# global variables and goto, the nearest thing to a Tarvo script.
set -eu
d="$1"; n="$2"; tn=$((n * 10))
mkdir -p "$d"
crlf() { sed 's/$/\r/' > "$1"; }

# --- counting loop: two statements a turn
crlf "$d/count.trv" <<T
N = 0
loop: N = N + 1
IF N < $tn THEN GOTO loop
END
T
crlf "$d/count.vbs" <<T
n = 0
Do While n < $n
  n = n + 1
Loop
T
cat > "$d/count.lua" <<T
n = 0
::loop:: n = n + 1
if n < $tn then goto loop end
T
cat > "$d/count.sh" <<T
n=0
while [ \$n -lt $n ]; do n=\$((n + 1)); done
T

# --- subroutines: a GOSUB / RETURN pair a turn
crlf "$d/gosub.trv" <<T
N = 0
loop: GOSUB sub
IF N < $tn THEN GOTO loop
END
sub: N = N + 1
RETURN
T
crlf "$d/gosub.vbs" <<T
Dim n
n = 0
Sub Inc()
  n = n + 1
End Sub
Do While n < $n
  Inc
Loop
T
cat > "$d/gosub.lua" <<T
n = 0
function inc() n = n + 1 end
::loop:: inc()
if n < $tn then goto loop end
T
cat > "$d/gosub.sh" <<T
n=0
inc() { n=\$((n + 1)); }
while [ \$n -lt $n ]; do inc; done
T

# --- strings: concatenation, LEN, SUBSTR, INSTR, STRCMP a turn
crlf "$d/strings.trv" <<T
N = 0
B$ = "hello"
loop: A$ = B$ + " world"
LEN (A$, L)
SUBSTR (A$, 5, 3, S$)
INSTR (A$, "wor", P)
STRCMP (A$, S$, C)
N = N + 1
IF N < $tn THEN GOTO loop
END
T
crlf "$d/strings.vbs" <<T
Dim n, a, b, l, s, p, c
n = 0
b = "hello"
Do While n < $n
  a = b & " world"
  l = Len(a)
  s = Mid(a, 3, 5)
  p = InStr(a, "wor")
  c = StrComp(a, s)
  n = n + 1
Loop
T
cat > "$d/strings.lua" <<T
n = 0
b = "hello"
::loop:: a = b .. " world"
l = #a
s = string.sub(a, 3, 7)
p = string.find(a, "wor", 1, true)
c = a < s
n = n + 1
if n < $tn then goto loop end
T
cat > "$d/strings.sh" <<T
n=0
b=hello
while [ \$n -lt $n ]; do
  a="\$b world"; l=\${#a}; s=\${a:2:5}; t=\${a%%wor*}; p=\$((\${#t} + 1))
  if [[ "\$a" < "\$s" ]]; then c=0; else c=2; fi
  n=\$((n + 1))
done
T

# --- the counting loop in a batch file (cmd is slow: fewer turns, scaled)
crlf "$d/count.cmd" <<T
@echo off
set /a n=0
:loop
set /a n=n+1
if %n% lss 3000 goto loop
T

# --- many names: 10,000 variables and 2,000 labels, then a loop over the last ones
{
  for i in $(seq 0 9999); do echo "V$i = $i"; done
  echo "GOTO start"
  for i in $(seq 0 1999); do echo "L$i: X = $i"; done
  echo "start: N = 0"
  echo "loop: N = N + 1"
  echo "V9999 = V9998 + 1"
  echo "IF N < $tn THEN GOTO L1999"
  echo "END"
} | sed 's/^L1999: X = 1999$/L1999: GOTO loop/' | crlf "$d/many.trv"
# the same in Lua: 10,000 globals, then the loop over the last two
{
  for i in $(seq 0 9999); do echo "V$i = $i"; done
  echo "n = 0"
  echo "::loop:: n = n + 1"
  echo "V9999 = V9998 + 1"
  echo "if n < $tn then goto loop end"
} > "$d/many.lua"
crlf "$d/few.trv" <<T
V8 = 8
V9 = 9
GOTO start
L1: X = 1
L2: GOTO loop
start: N = 0
loop: N = N + 1
V9 = V8 + 1
IF N < $tn THEN GOTO L2
END
T

# --- start-up: a script that ends at once, and 1 MB of comments and literals
# that ends right after its pre-scan
printf 'END\r\n' > "$d/empty.trv"
{
  echo "END"
  for i in $(seq 1 8000); do
    echo "{ a comment line that the pre-scan has to walk over, number $i, with some words }"
    echo "S$ = \"a literal that the pre-scan terminates in place, number $i\""
  done
} | crlf "$d/big.trv"

# --- drawing: 100,000 lines in PIXEL mode, 100,000 texts
crlf "$d/draw.trv" <<T
USECOORDINATES (PIXEL)
N = 0
loop: DRAWLINE (0, 0, 100, 100)
N = N + 1
IF N < 1000000 THEN GOTO loop
END
T
crlf "$d/drawtext.trv" <<T
USECOORDINATES (PIXEL)
N = 0
loop: DRAWTEXT (10, 10, "Drawn text")
N = N + 1
IF N < 1000000 THEN GOTO loop
END
T
# the loop around the drawing alone, to take off
crlf "$d/drawloop.trv" <<T
USECOORDINATES (PIXEL)
N = 0
loop: N = N + 1
IF N < 1000000 THEN GOTO loop
END
T
