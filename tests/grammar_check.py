#!/usr/bin/env python3
"""Tokenizes a sample script with the extension's TextMate grammar and checks
the scopes of keywords, labels, strings, numbers, variables and comments; with
tarvocheck, also that every keyword of the runtime's tables is highlighted.
The tokenizer follows TextMate's rules for what this grammar uses: at each
position the earliest match wins (ties go to the rule listed first); inside a
begin/end rule its end pattern is tried with the rule's own patterns and wins
ties; captures give their groups a scope of their own.
    usage: grammar_check.py GRAMMAR.json [TARVOCHECK]"""
import json
import re
import subprocess
import sys

grammar = json.load(open(sys.argv[1]))
repo = grammar.get("repository", {})


def expand(patterns):
    out = []
    for p in patterns:
        out.extend(expand([repo[p["include"][1:]]]) if "include" in p else [p])
    return out


def tokenize(lines):
    """Scopes per character: a list (per line) of lists of scope tuples."""
    stack, result = [], []  # the open begin/end rules
    for line in lines:
        scopes = [()] * len(line)
        pos = 0
        while pos <= len(line):
            base = tuple(r["name"] for r in stack if "name" in r)
            candidates = [("pat", p) for p in expand(stack[-1].get("patterns", []) if stack else grammar["patterns"])]
            if stack:
                candidates.insert(0, ("end", stack[-1]["end"]))
            best = None
            for kind, p in candidates:
                m = re.compile(p if kind == "end" else p.get("match") or p["begin"]).search(line, pos)
                if m and (best is None or m.start() < best[1].start()):
                    best = (kind, m, p)
            if best is None:
                scopes[pos:] = [base] * (len(line) - pos)
                break
            kind, m, p = best
            scopes[pos:m.start()] = [base] * (m.start() - pos)
            own = base if kind == "end" else base + ((p["name"],) if "name" in p else ())
            scopes[m.start():m.end()] = [own] * (m.end() - m.start())
            if kind == "end":
                stack.pop()
            elif "begin" in p:
                stack.append(p)
            else:
                for g, c in p.get("captures", {}).items():
                    if m.group(int(g)) is not None:
                        scopes[m.start(int(g)):m.end(int(g))] = [own + (c["name"],)] * (m.end(int(g)) - m.start(int(g)))
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
# scope: the texts that must carry it ("!" before it: must not), each as
# LINE:TEXT, "#N" after the text for its N-th occurrence on the line
EXPECT = {
    "comment.block.tarvo": "0:a comment;0:still;1:two lines",
    "!comment.block.tarvo": "3:not a comment",
    "entity.name.label.tarvo": "2:start",
    "entity.name.label.reference.tarvo": "3:start",
    "variable.other.tarvo": "2:X",
    "variable.other.string.tarvo": "3:A$",
    "constant.numeric.integer.tarvo": "2:-12;4:10#1",
    "string.quoted.double.tarvo": "3:not a comment",
    "keyword.operator.tarvo": "2:+",
    "keyword.control.tarvo": "3:IF;3:THEN;3:GOTO;5:GOSUB;5:RETURN;6:WAITINPUT;7:END",
    "!keyword.control.tarvo": "2:Count",
    "keyword.other.statement.tarvo": "4:setmouse",
    "support.function.command.tarvo": "5:DRAWLINE",
}
failures = 0
scopes = tokenize(SAMPLE)
for scope, texts in EXPECT.items():
    for t in texts.split(";"):
        line, _, t = t.partition(":")
        line, (text, _, nth) = int(line), t.partition("#")
        i = -1
        for _ in range(int(nth or 0) + 1):
            i = SAMPLE[line].index(text, i + 1)
        bad = [j for j in range(i, i + len(text)) if (scope.lstrip("!") in scopes[line][j]) == scope.startswith("!")]
        if bad:
            print("FAIL line %d %r: %s, want %s" % (line, text, scopes[line][bad[0]], scope))
            failures += 1
if len(sys.argv) > 2:
    for w in subprocess.run([sys.argv[2], "--keywords"], capture_output=True, text=True).stdout.split():
        s = tokenize([w])[0]
        if not s or not any(x.startswith(("keyword.", "support.function.")) for x in s[0]):
            print("FAIL keyword %s is not highlighted (%s)" % (w, s[0] if s else ()))
            failures += 1
print("grammar: %d failures" % failures)
sys.exit(1 if failures else 0)
