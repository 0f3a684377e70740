#!/usr/bin/env python3
"""Tokenizes a sample script with the extension's TextMate grammar and checks
the scopes of keywords, labels, strings, numbers, variables and comments.
The tokenizer follows TextMate's rules for what this grammar uses: at each
position the earliest match wins (ties go to the rule listed first); inside a
begin/end rule its end pattern is tried with the rule's own patterns and wins
ties; captures give their groups a scope of their own.

usage: grammar_check.py GRAMMAR.json [TARVOCHECK]
With tarvocheck, also checks that every keyword of the runtime's tables is
highlighted.
"""
import json
import re
import subprocess
import sys

grammar = json.load(open(sys.argv[1]))
repo = grammar.get("repository", {})


def expand(patterns):
    out = []
    for p in patterns:
        if "include" in p:
            out.extend(expand([repo[p["include"][1:]]]))
        else:
            out.append(p)
    return out


def tokenize(lines):
    """Scopes per character: a list (per line) of lists of scope tuples."""
    stack = []  # open begin/end rules
    result = []
    for line in lines:
        scopes = [()] * len(line)
        pos = 0
        while pos <= len(line):
            base = tuple(r["name"] for r in stack if "name" in r)
            if stack:
                rule = stack[-1]
                candidates = [("end", re.compile(rule["end"]))] + \
                    [("pat", p) for p in expand(rule.get("patterns", []))]
            else:
                candidates = [("pat", p) for p in expand(grammar["patterns"])]
            best = None
            for kind, p in candidates:
                rx = p if kind == "end" else re.compile(p.get("match") or p["begin"])
                m = rx.search(line, pos)
                if m and (best is None or m.start() < best[1].start()):
                    best = (kind, m, p)
            if best is None:
                for i in range(pos, len(line)):
                    scopes[i] = base
                break
            kind, m, p = best
            for i in range(pos, m.start()):
                scopes[i] = base
            if kind == "end":
                for i in range(m.start(), m.end()):
                    scopes[i] = base
                stack.pop()
            elif "begin" in p:
                stack.append(p)
                for i in range(m.start(), m.end()):
                    scopes[i] = base + ((p["name"],) if "name" in p else ())
            else:
                own = base + ((p["name"],) if "name" in p else ())
                for i in range(m.start(), m.end()):
                    scopes[i] = own
                for g, c in p.get("captures", {}).items():
                    if m.group(int(g)) is not None:
                        for i in range(m.start(int(g)), m.end(int(g))):
                            scopes[i] = own + (c["name"],)
            pos = m.end() if m.end() > pos else pos + 1
        result.append(scopes)
    return result


SAMPLE = [
    '{ a comment { nested } still a comment',
    '  over two lines }',
    'start: X = -12 + Count',
    'IF A$ = "text {not a comment}" THEN GOTO start',
    'setmouse (0, 0, 10, 10, start, X, Y)',
    'DRAWLINE (1, 2, 3, 4) | GOSUB start | RETURN',
    'WAITINPUT ()',
    'END',
]

# (line, text, the occurrence, scope the text must carry)
EXPECT = [
    (0, "a comment", 0, "comment.block.tarvo"),
    (0, "still", 0, "comment.block.tarvo"),
    (1, "two lines", 0, "comment.block.tarvo"),
    (2, "start", 0, "entity.name.label.tarvo"),
    (2, "X", 0, "variable.other.tarvo"),
    (2, "-12", 0, "constant.numeric.integer.tarvo"),
    (2, "+", 0, "keyword.operator.tarvo"),
    (3, "IF", 0, "keyword.control.tarvo"),
    (3, "A$", 0, "variable.other.string.tarvo"),
    (3, "not a comment", 0, "string.quoted.double.tarvo"),
    (3, "THEN", 0, "keyword.control.tarvo"),
    (3, "GOTO", 0, "keyword.control.tarvo"),
    (3, "start", 0, "entity.name.label.reference.tarvo"),
    (4, "setmouse", 0, "keyword.other.statement.tarvo"),
    (4, "10", 1, "constant.numeric.integer.tarvo"),
    (5, "DRAWLINE", 0, "support.function.command.tarvo"),
    (5, "GOSUB", 0, "keyword.control.tarvo"),
    (5, "RETURN", 0, "keyword.control.tarvo"),
    (6, "WAITINPUT", 0, "keyword.control.tarvo"),
    (7, "END", 0, "keyword.control.tarvo"),
]
# Text that must carry none of these scopes.
NOT = [
    (3, "not a comment", "comment.block.tarvo"),
    (2, "Count", "keyword.control.tarvo"),
]

failures = 0
scopes = tokenize(SAMPLE)


def where(line, text, nth):
    i = -1
    for _ in range(nth + 1):
        i = SAMPLE[line].index(text, i + 1)
    return range(i, i + len(text))


for line, text, nth, scope in EXPECT:
    bad = [i for i in where(line, text, nth) if scope not in scopes[line][i]]
    if bad:
        print("FAIL line %d %r: %s, want %s" % (line, text, scopes[line][bad[0]], scope))
        failures += 1
for line, text, scope in NOT:
    if any(scope in scopes[line][i] for i in where(line, text, 0)):
        print("FAIL line %d %r carries %s" % (line, text, scope))
        failures += 1

if len(sys.argv) > 2:
    words = subprocess.run([sys.argv[2], "--keywords"], capture_output=True, text=True).stdout.split()
    for w in words:
        s = tokenize([w])[0]
        if not s or not any(x.startswith(("keyword.", "support.function.")) for x in s[0]):
            print("FAIL keyword %s is not highlighted (%s)" % (w, s[0] if s else ()))
            failures += 1
print("grammar: %d failures" % failures)
sys.exit(1 if failures else 0)
