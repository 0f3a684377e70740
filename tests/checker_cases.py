#!/usr/bin/env python3
"""Runs tarvocheck over a script of its own for each kind of finding, then
over the examples and the script of every case of tests/cases/*.cases: a case
whose run shows the box of a syntax-class message must get that error on the
line that the box shows, and a case whose run shows no error box no error.
    usage: checker_cases.py TARVOCHECK ROOT"""

import json
import os
import re
import subprocess
import sys
import tempfile

SYNTAX = {"Syntax error.", "Unbalanced comment markers.", "Label not found.",
          "Label is multidefined.", "Number is too large or too small.", "Invalid number.",
          "Fractional number.", "Color value greater than 255.", "SWITCH is not supported.",
          "IF without ENDIF."}
RUNTIME = {"Not enough memory.", "RETURN without GOSUB.", "Divide by zero.", "Numeric overflow.",
           "Numeric underflow.", "Number cannot be negative in this command.",
           "ANSI code must be from 0 to 255.", "Starting location must be greater than 0.",
           "Starting location greater than string length.",
           "Not enough memory to reallocate string."}
ESCAPES = {b"n": b"\n", b"r": b"\r", b"t": b"\t", b"\\": b"\\", b'"': b'"'}


def unescape(s):
    """The escapes of a case file (\\n \\r \\t \\\\ \\" \\xHH) decoded."""
    return re.sub(rb'\\(x[0-9a-fA-F]{2}|[nrt\\"])',
                  lambda m: ESCAPES.get(m.group(1)) or bytes([int(m.group(1)[1:], 16)]), s.encode("latin-1"))


def cases(path):
    """(name, script bytes, expect lines) of every case of a file."""
    out, name, section = [], None, None
    for raw in open(path, encoding="latin-1").read().split("\n") + ["=== "]:
        line = raw[:-1] if raw.endswith("\r") else raw
        if line.startswith("=== "):
            if name is not None:
                while script and not script[-1].strip():
                    script.pop()
                data = [unescape(l) if "esc" in opts else l.encode("latin-1") for l in script]
                eol = b"\n" if "lf" in opts else b"\r\n"
                out.append((name, eol.join(data) + (b"" if "noeol" in opts else eol), expect))
            name, section, opts, script, expect = line[4:].strip(), None, [], [], []
        elif line.startswith("--- ") and name is not None:
            section, *words = line[4:].split() or [None]
            opts = words if section == "script" else opts
        elif section in ("script", "expect"):
            (script if section == "script" else expect).append(line)
    return out


def boxes(expect):
    for l in expect:
        q = re.findall(r'"((?:[^"\\]|\\.)*)"', l) if l.strip().startswith("box ") else []
        if len(q) >= 2:
            yield unescape(q[0]).decode("latin-1"), unescape(q[1])


def check(tool, data):
    with tempfile.NamedTemporaryFile(suffix=".trv", delete=False) as f:
        f.write(data)
    try:
        r = subprocess.run([tool, "--json", f.name], capture_output=True)
        return json.loads(r.stdout.decode("utf-8")), r.returncode
    finally:
        os.unlink(f.name)


# Each kind of finding on a script of its own, and the findings as
# LINE:COL:SEVERITY:TEXT (the whole output is compared).
KINDS = [
    ("X = = 1", ["1:5:error:Syntax error."]),
    ("DRAWLINE (1, 2, 3)", ["1:18:error:Syntax error."]),
    ("GOTO nowhere", ["1:6:error:Label not found."]),
    ("SETMENU (\"&File\", gone, ENDPOPUP)", ["1:19:error:Label not found."]),
    ("SETMOUSE (0, 0, 9, 9, gone, X, Y)", ["1:23:error:Label not found."]),
    ("X = 1 { open\nY = 2", ["1:7:error:Unbalanced comment markers."]),
    ("A$ = \"open\nB$ = A$", ["1:6:error:Syntax error."]),
    ("a:\nGOTO a\nA:\nX = = 2", ["3:1:error:Label is multidefined.", "4:5:error:Syntax error."]),
    ("IF 1 = 1\nX = 1", ["1:1:error:IF without ENDIF."]),
    ("X = 1\nENDIF", ["2:1:error:Syntax error."]),
    ("IF 1 = 1\nENDIF\nENDIF",
     ["3:1:warning:ENDIF closes no block IF here: it goes on behind the ENDIF of the block IF that ran last."]),
    ("SWITCH", ["1:1:error:SWITCH is not supported."]),
    ("USEPEN (SOLID, 1, 256, 0, 0)", ["1:19:error:Color value greater than 255."]),
    ("C = 300\nUSEPEN (SOLID, 1, C, 0, 0)", []),
    ("X = 12345678901", ["1:5:error:Number is too large or too small."]),
    ("X = 1.5", ["1:5:error:Fractional number."]),
    ("X = -Y", ["1:5:error:Invalid number."]),
    ("X = 1 / 0", []),
    ("WAITINPUT (5 X = 1", ["1:14:error:Syntax error."]),
    ("SETKEYBOARD (13, done 27, done)\ndone: END", []),
    ("BUTTON ((1, 1, 50, 20, \"OK\", done)\ndone: END",
     ["1:9:error:Syntax error.", "2:1:warning:Label done is never used."]),
    ("unused: END", ["1:1:warning:Label unused is never used."]),
    ("Y = X + 1\nLEN (A$, N)",
     ["1:5:warning:Variable X is read but never set.", "2:6:warning:Variable A$ is read but never set."]),
    ("GOTO b\nX = 1\nb: END", ["2:1:warning:Unreachable code: no label or IF leads here."]),
    ("IF X = 1 THEN GOTO b\nX = 1\nb: END", []),
    ("IF X = 1\n  GOTO b\nELSE\n  X = 2\nENDIF\nb: END", []),
    ("IF X = 1 THEN DRAWLINE (1,\n 2, 3, 4)\nEND",
     ["1:4:warning:Variable X is read but never set.", "2:2:error:Syntax error."]),
    ("IF 1 = 2\n  R$ = \"MYELSE\"\nENDIF", ["2:15:error:Syntax error."]),
    ("END oops =\nX = 1", ["2:1:warning:Unreachable code: no label or IF leads here."]),
]

def main():
    tool, root = sys.argv[1], sys.argv[2]
    failures = 0
    for lines, want in KINDS:
        found, rc = check(tool, (lines.replace("\n", "\r\n") + "\r\n").encode("latin-1"))
        got = ["%d:%d:%s:%s" % (d["line"], d["column"], d["severity"], d["message"]) for d in found]
        if got != want or rc != any(":error:" in w for w in want):
            print("FAIL %r: got %s (exit %d), want %s" % (lines, got, rc, want))
            failures += 1
    scripts = [(f, open(os.path.join(root, "examples", f), "rb").read(), [])
               for f in sorted(os.listdir(os.path.join(root, "examples"))) if f.lower().endswith(".trv")]
    case_dir = os.path.join(root, "tests", "cases")
    for f in sorted(os.listdir(case_dir)):
        if f.endswith(".cases"):
            scripts += [("%s: %s" % (f, name), body, expect) for name, body, expect in cases(os.path.join(case_dir, f))]
    for label, body, expect in scripts:
        found, rc = check(tool, body)
        errors = [d for d in found if d["severity"] == "error"]
        shown = list(boxes(expect))
        syntax = [(c, t) for c, t in shown if c in SYNTAX]
        if (rc == 1) != bool(errors):
            print("FAIL %s: exit status %d with %d errors" % (label, rc, len(errors)))
            failures += 1
        if syntax:
            caption, text = syntax[0]
            # The box shows at most 4095 bytes of a line: a longer line
            # is known by its first 4095.
            want = [i + 1 for i, l in enumerate(re.split(rb"\r\n|\n|\r", body))
                    if l.rstrip(b"\x1a") == text or (len(text) == 4095 and l.startswith(text))]
            if not [d for d in errors if d["message"] == caption and d["line"] in want]:
                print("FAIL %s: expected \"%s\" on line %s (%r), got %s" %
                      (label, caption, want, text, [(d["line"], d["message"]) for d in errors]))
                failures += 1
        elif errors and not any(c in RUNTIME for c, t in shown):
            print("FAIL %s: the runtime ran it cleanly, the checker says %s" %
                  (label, [(d["line"], d["column"], d["message"]) for d in errors]))
            failures += 1
    print("checker: %d scripts, %d failures" % (len(scripts), failures))
    return 1 if failures else 0


sys.exit(main())
