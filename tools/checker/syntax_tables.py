#!/usr/bin/env python3
"""Builds, for the native tools, the syntax of the commands of one runtime
source file: its keyword tables and SYN_ descriptors exactly as written there,
and a null handler per command (the tools parse, they never run a command).

usage: syntax_tables.py SOURCE.cpp OUTPUT.cpp

Keyword values are the runtime's business (they are often Win32 constants);
here every value is 0, the names and their order are what the tools need.
"""
import re
import sys

src, out = sys.argv[1], sys.argv[2]
text = open(src, encoding="latin-1").read()

# A definition runs from its declaration to the "};" that closes it.
definition = re.compile(
    r"^(?:static\s+)?const\s+(?:KeywordRow\s+\w+|ArgItem\s+SYN_\w+)\s*\[\]\s*=\s*\{.*?\};",
    re.S | re.M)
row = re.compile(r'\{\s*("(?:[^"\\]|\\.)*")\s*,[^{}]*\}')

parts = []
handlers = []
for m in definition.finditer(text):
    d = m.group(0)
    if "KeywordRow" in d.split("=")[0]:
        d = row.sub(r"{\1, 0}", d)
        if not d.startswith("static"):
            d = "static " + d
    else:
        handlers.append(re.search(r"SYN_(\w+)", d).group(1))
    parts.append(d)

with open(out, "w") as f:
    f.write("// Made by tools/checker/syntax_tables.py from %s; do not edit.\n" % "/".join(src.split("/")[-2:]))
    f.write('#include "core/commands.h"\n\n')
    for d in parts:
        f.write(d + "\n")
    f.write("\n")
    for h in handlers:
        f.write("bool cmd_%s() { return false; }\n" % h)
