#!/usr/bin/env python3
"""Fuzzer of the runtime: throws generated scripts, bitmap files and INI
files at Tarvopro.exe and keeps what makes it crash, hang or end silently.

    fuzz.py [--seconds S] [--seed N] [--families mutate,commands,bitmaps,ini]
            [--timeout MS] [--batch N] [--save] [--replay]

Runs inside a started Wine session (tools/wine.sh, as ./test does). Every
script ends with a box "alive"; a run is classified as

    clean      the script ended normally (it showed "alive")
    error      the runtime showed an error box and ended
    crash      Wine's "Unhandled" line, or an exception exit code
    hang       the time limit passed with the window not answering, in a
               script that cannot loop by itself
    silent     the runtime ended without any box although the script had
               to show one
    timeout    a script that may loop (GOTO, GOSUB, WAITINPUT) ran out of time

Families:
    mutate     scripts of the test corpus (tests/cases/*.cases, examples/)
               with lines dropped, doubled, swapped, spliced, numbers turned
               into extremes and texts into huge or odd ones
    commands   random statements from the runtime's own command table
               (tarvosyn.exe), arguments from extremes (+-2^31, 0, -1),
               huge texts and arguments of the wrong type
    bitmaps    hostile bitmap files (valid files with header fields set to
               extremes, truncated, resized) drawn by every bitmap command
    ini        hostile INI files and names read and written

A crash, hang or silent exit is shrunk (delta debugging over lines, then
over arguments) and, with --save, kept in tests/fuzz/found/ as a .trv file
(with the files it needs in a .files/ folder beside it). --replay runs the
kept scripts: each must end without crash, hang or silent exit. The exit
code is 1 when something was found (or a kept script still fails).
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(ROOT, "build", "x64")
WORK = os.path.join(BUILD, "fuzz")
FOUND = os.path.join(ROOT, "tests", "fuzz", "found")
ALIVE = 'MESSAGEBOX (OK, 1, NOICON, "alive", "fuzz", FUZZ_N)'
FAILURES = ("crash", "hang", "silent")
CONFIRM_MS = 20000
WATCH_KILL = 0xDEAD     # the exit code of a run that tarvofuzz --watch ended

# Commands that would reach outside the fuzzer's folder or end the Wine
# session: never generated, and dropped from mutated scripts.
UNSAFE = {"ABORTSHUTDOWN", "EXITWINDOWS", "LOGOFF", "SHUTDOWN", "DIRCHANGE", "DISKCHANGE",
          "WINCLOSE", "WINSHOW", "WINSETACTIVE", "RUN", "RUNEXT", "SETPRIORITY"}
# Commands whose number is the size of a string they make.
SIZED = {"SPACE", "PAD"}
# Statements that let a script run on (or wait) by itself.
WAITING = re.compile(r"\b(WAITINPUT|SET\w*|BUTTON|SWITCH)\b", re.I)
JUMP = re.compile(r"\b(?:GOTO|GOSUB)\s+(\w+)", re.I)


# ELSE and ENDIF, as statements, go to the ENDIF that the last block IF found,
# which may lie before them (a second ENDIF runs itself for ever). The block
# scan finds the word from an upper-case E.
BLOCK_END = re.compile(r"\bE(?:NDIF|LSE)\b", re.I)
SCANNED_ENDIF = re.compile(r"ENDIF", re.I)
BLOCK_IF = re.compile(r"^\s*(?:\w+:\s*)?IF\b(?!.*\bTHEN\b)", re.I)


def may_loop(lines):
    """True when the script can run on by itself: it waits for input, a jump
    goes back to a label at or before it, or an ELSE or ENDIF comes after the
    ENDIF that closed the last block IF."""
    seen = set()
    closed = False  # the last block IF's ENDIF lies behind us
    for line in lines:
        if BLOCK_IF.search(line):
            closed = False
        elif closed and BLOCK_END.search(line):
            return True
        if any(m.group(0)[0] == "E" for m in SCANNED_ENDIF.finditer(line)):
            closed = True
        m = re.match(r"\s*(\w+):", line)
        if m:
            seen.add(m.group(1).upper())
        if WAITING.search(line):
            return True
        for j in JUMP.finditer(line):
            if j.group(1).upper() in seen:
                return True
    return False
EXITING = re.compile(r"\b(END|FREEVARALL)\b", re.I)

EXTREMES = [2147483647, -2147483648, 2147483646, -2147483647, 1073741824, -1073741824]
NUMBERS = [0, 1, -1, 2, 3, 7, 10, 100, 255, 256, 1000, 4096, 32767, 32768, -32768, 65535, 65536,
           1 << 24] + EXTREMES * 2
WORDS = ["", "a", "alive", "Tarvo", "x.ini", "fuzz.ini", "core24.bmp", "pal16.bmp", "rle8.bmp",
         "missing.bmp", "nofile.txt", "%s%s%n", "[sec]", "=", "a=b", "\t", " ", "Program Manager",
         "notepad", "Untitled - Notepad"]
VALID_BMP = ["core24.bmp", "core8.bmp", "pal16.bmp", "rle8.bmp", "rle4.bmp", "big1.bmp", "dim640.bmp"]
LONGS = [255, 256, 259, 260, 261, 1000, 1024, 4096, 32767, 32768, 65536, 100000, 131072, 1000000]


def log(*a):
    print(*a, flush=True)


# ------------------------------------------------------------------ inputs

def wine(args, limit, err=subprocess.DEVNULL):
    """Output of a Windows program. Through a file, not a pipe: programs
    that Wine starts in the background would keep a pipe open."""
    path = os.path.join(WORK, "stdout.txt")
    with open(path, "wb") as out:
        try:
            subprocess.run(["wine"] + args, stdout=out, stderr=err, stdin=subprocess.DEVNULL, timeout=limit)
        except subprocess.TimeoutExpired:
            pass
    return open(path, "rb").read().decode("latin-1")


def command_table():
    """[(NAME, [items])] from tarvosyn.exe: the table the runtime uses."""
    os.makedirs(WORK, exist_ok=True)
    out = wine([os.path.join(BUILD, "tarvosyn.exe")], 120)
    table = []
    for line in out.replace("\r", "").splitlines():
        parts = line.split()
        if not parts or parts[0] == "statement":
            continue
        table.append((parts[0], parts[1:]))
    if not table:
        sys.exit("fuzz: tarvosyn.exe printed no command table")
    return table


def corpus():
    """Scripts of the test cases and the examples, as lists of lines."""
    scripts = []
    cases = os.path.join(ROOT, "tests", "cases")
    for name in sorted(os.listdir(cases)):
        if not name.endswith(".cases"):
            continue
        cur = None
        for line in open(os.path.join(cases, name), encoding="latin-1").read().splitlines():
            if line.startswith("=== ") or (line.startswith("--- ") and cur is not None):
                if cur:
                    scripts.append(cur)
                cur = None
            if line.startswith("--- script") and "esc" not in line:
                cur = []
            elif cur is not None:
                cur.append(line)
        if cur:
            scripts.append(cur)
    ex = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(ex)):
        if name.lower().endswith(".trv"):
            scripts.append(open(os.path.join(ex, name), encoding="latin-1").read().splitlines())
    return [s for s in scripts if s]


def fence(line):
    """The profile functions put a file without a folder into the Windows
    folder: the file of an INI command is always made one of the current
    folder (".\\NAME"; a variable becomes ".\\h.ini")."""
    if keyword_of(line) not in ("FILEREAD_INI", "FILEWRITE_INI"):
        return line
    sp = split_args(line)
    if not sp:
        return "{ }"
    head, args, tail = sp
    a = args[0].strip()
    args[0] = '".\\' + a[1:] if a.startswith('"') else '".\\h.ini"'
    return head + ",".join(args) + tail


def keyword_of(line):
    m = re.match(r"\s*(?:[A-Za-z_]\w*:\s*)?([A-Za-z_]\w*)", line)
    return m.group(1).upper() if m else ""


def safe_line(line):
    return keyword_of(line) not in UNSAFE and "\\" not in line and ":\\" not in line and ".." not in line


# -------------------------------------------------------------- generators

class Gen:
    def __init__(self, rnd, table, scripts):
        self.r = rnd
        self.table = [(n, items) for n, items in table if n not in UNSAFE]
        self.scripts = scripts
        self.files = {}      # extra files of the current script: name -> bytes

    def number(self):
        r = self.r.random()
        if r < 0.6:
            return str(self.r.choice(NUMBERS))
        if r < 0.85:
            return str(self.r.randint(-1000, 1000))
        if r < 0.95:
            return str(self.r.randint(-2 ** 31, 2 ** 31 - 1))
        return self.r.choice(["N", "X", "FUZZ_N"])

    def text(self):
        r = self.r.random()
        if r < 0.5:
            return '"%s"' % self.r.choice(WORDS)
        if r < 0.8:
            return '"%s"' % (self.r.choice("AZx.[") * self.r.choice(LONGS[:10]))
        if r < 0.9:
            return self.r.choice(["S$", "T$"])
        return '"%s"' % ("B" * self.r.choice(LONGS))

    def wrong(self):
        return self.r.choice(['"7"', "S$", "N", "QQQ", "", "1.5", "(", "2147483648", "-2147483649", "0x10", '"'])

    def argument(self, item):
        if self.r.random() < 0.015:
            return self.wrong()
        if item == "num":
            return self.number()
        if item == "point":
            return "%s, %s" % (self.number(), self.number())
        if item == "colour":
            return ", ".join(self.number() if self.r.random() < 0.3 else str(self.r.randint(0, 255))
                             for _ in range(3))
        if item == "str":
            return self.text()
        if item == "numvar":
            return self.r.choice(["N", "X", "M"])
        if item == "strvar":
            return self.r.choice(["S$", "T$", "U$"])
        if item == "label":
            return self.r.choice(["There", "Nowhere"])
        if item in ("numrel", "strrel"):
            return self.r.choice(["=", "<>", "<", ">", "<=", ">=", "=="])
        if item.startswith("kw:"):
            words = item[3:].split("|")
            return self.r.choice(words) if self.r.random() < 0.98 else "NOSUCHWORD"
        return self.wrong()

    def command(self, name=None):
        if name:
            items = dict(self.table)[name]
        else:
            name, items = self.r.choice(self.table)
        out, args = name, []
        for item in items:
            if item in ("(", ")", ",", "end"):
                continue
            arg = self.argument(item)
            # Strings of gigabytes take the runtime tens of seconds to make
            # and would be taken for hangs; the length limit itself has a case.
            if name in SIZED and item == "num" and arg.lstrip("-").isdigit() and int(arg) > 1 << 24:
                arg = str(1 << 24)
            args.append(arg)
        if "(" in items:
            if args and self.r.random() < 0.015:
                args.pop(self.r.randrange(len(args)))        # an argument short
            elif self.r.random() < 0.015:
                args.append(self.number())                   # one too many
            out += " (" + ", ".join(args) + ")"
        return out

    def prelude(self):
        lines = []
        if self.r.random() < 0.6:
            lines.append("USECOORDINATES (%s)" % self.r.choice(["PIXEL", "METRIC"]))
        if self.r.random() < 0.3:
            lines.append('STR (%s, S$)' % self.number())
        return lines

    def fam_commands(self):
        lines = self.prelude()
        for _ in range(self.r.randint(1, 6)):
            lines.append(self.command())
        if self.r.random() < 0.1:
            # A long text left open: the line ends inside it.
            longs = [i for i, l in enumerate(lines) if re.search(r'"[^"]{200,}"', l)]
            if longs:
                i = self.r.choice(longs)
                m = re.search(r'"[^"]{200,}"', lines[i])
                lines[i] = lines[i][:m.end() - 1] + self.r.choice(["", " A", ")"])
        if any("There" in l for l in lines):
            lines.append("There:")
        return lines

    def fam_mutate(self):
        lines = [l for l in self.r.choice(self.scripts) if safe_line(l)]
        for _ in range(self.r.randint(1, 4)):
            op = self.r.random()
            i = self.r.randrange(len(lines)) if lines else 0
            if not lines or op < 0.15:
                lines.insert(i, self.command())
            elif op < 0.3:
                del lines[i]
            elif op < 0.4:
                lines.insert(i, lines[i])
            elif op < 0.5:
                j = self.r.randrange(len(lines))
                lines[i], lines[j] = lines[j], lines[i]
            elif op < 0.6:
                other = [l for l in self.r.choice(self.scripts) if safe_line(l)]
                if other:
                    lines.insert(i, self.r.choice(other))
            elif op < 0.8:
                nums = list(re.finditer(r"-?\b\d+\b", lines[i]))
                if nums:
                    m = self.r.choice(nums)
                    lines[i] = lines[i][:m.start()] + str(self.r.choice(NUMBERS)) + lines[i][m.end():]
            elif op < 0.93:
                strs = list(re.finditer(r'"[^"]*"', lines[i]))
                if strs:
                    m = self.r.choice(strs)
                    lines[i] = lines[i][:m.start()] + self.text() + lines[i][m.end():]
            else:
                lines[i] = lines[i][: self.r.randrange(len(lines[i]) + 1)]
        return lines

    def bitmap(self):
        """A hostile bitmap: a valid one with a header field pushed to an extreme."""
        w = self.r.choice([1, 2, 3, 32, 33, 0, -1, 65535, -2147483648, 2147483647])
        h = self.r.choice([1, 2, 16, 0, -1, -16, -2147483648, 2147483647, 65535])
        bits = self.r.choice([1, 4, 8, 16, 24, 32, 0, 2, 64, 255])
        comp = self.r.choice([0, 0, 0, 1, 2, 3, 4, 5, 99])
        used = self.r.choice([0, 0, 2, 16, 256, 257, 65536, 2 ** 31 - 1])
        size = self.r.choice([0, 0, 1, 64, 2 ** 31 - 1, 2 ** 32 - 1])
        hsize = self.r.choice([40, 40, 40, 12, 0, 39, 41, 56, 108, 124, 65535])
        payload = bytes(self.r.getrandbits(8) for _ in range(self.r.choice([0, 1, 16, 64, 1024])))
        if hsize == 12:
            header = struct.pack("<IHHHH", 12, w & 0xFFFF, h & 0xFFFF, 1, bits)
        else:
            header = struct.pack("<IiiHHIIiiII", hsize, w, h, 1, bits, comp, size, 2835, 2835, used, 0)
            header = header[:max(0, hsize)] if hsize < 40 else header + bytes(max(0, min(hsize, 200) - 40))
        off = self.r.choice([14 + len(header), 14 + len(header) + 64, 0, 2 ** 31, 13])
        total = self.r.choice([14 + len(header) + len(payload), 0, 2 ** 32 - 1])
        data = b"BM" + struct.pack("<IHHI", total, 0, 0, off) + header + payload
        if self.r.random() < 0.2:
            data = data[: self.r.randrange(len(data) + 1)]
        return data

    def fam_bitmaps(self):
        lines = self.prelude()
        for k in range(self.r.randint(1, 3)):
            if self.r.random() < 0.4:
                name = self.r.choice(VALID_BMP)      # a good file, drawn with odd numbers
            else:
                name = "h%d.bmp" % k
                self.files[name] = self.bitmap()
            for _ in range(self.r.randint(1, 3)):
                cmd = self.r.choice(["DRAWBITMAP", "DRAWBITMAPEXT", "DRAWSIZEDBITMAP", "DRAWSIZEDBITMAPEXT",
                                     "GETBITMAPDIM", "REPLACECHANNEL", "FREEBITMAP"])
                if cmd in dict(self.table):
                    line = self.command(cmd)
                    line = re.sub(r'"[^"]*"', '"%s"' % name, line, count=1)
                    lines.append(line)
        return lines

    def ini_file(self):
        parts = []
        for _ in range(self.r.randint(0, 6)):
            r = self.r.random()
            if r < 0.3:
                parts.append(b"[" + b"S" * self.r.choice(LONGS[:12]) + b"]")
            elif r < 0.6:
                parts.append(b"k" * self.r.choice(LONGS[:12]) + b"=" + b"v" * self.r.choice(LONGS[:12]))
            elif r < 0.8:
                parts.append(bytes(self.r.getrandbits(8) for _ in range(self.r.randint(0, 300))))
            else:
                parts.append(self.r.choice([b"[", b"]", b"=", b"[sec", b"key", b"\x00", b"\xff\xfe", b";c"]))
        return b"\r\n".join(parts)

    def fam_ini(self):
        self.files["h.ini"] = self.ini_file()
        lines = self.prelude()
        for _ in range(self.r.randint(1, 4)):
            cmd = self.r.choice(["FILEREAD_INI", "FILEWRITE_INI"])
            line = self.command(cmd)
            lines.append(line)
        return lines

    def script(self, family):
        self.files = {}
        lines = [fence(l) for l in getattr(self, "fam_" + family)()]
        return lines + [ALIVE], self.files


# ------------------------------------------------------------------ runner

class Runner:
    def __init__(self, timeout_ms):
        self.timeout_ms = timeout_ms
        self.runs = 0
        os.makedirs(WORK, exist_ok=True)
        self.pristine = os.path.join(WORK, "pristine")
        if not os.path.isdir(self.pristine):
            os.makedirs(self.pristine)
            subprocess.run([sys.executable, os.path.join(ROOT, "tools", "bmpgen", "bmpgen.py"), self.pristine],
                           stdout=subprocess.DEVNULL, check=True)

    def run(self, jobs, timeout_ms=None):
        """jobs: [(lines, files)] -> [(class, transcript, stderr)]"""
        timeout_ms = timeout_ms or self.timeout_ms
        run_dir = os.path.join(WORK, "run")
        shutil.rmtree(run_dir, ignore_errors=True)
        shutil.copytree(self.pristine, run_dir)
        names = []
        for i, (lines, files) in enumerate(jobs):
            for fname, data in files.items():
                with open(os.path.join(run_dir, fname), "wb") as fh:
                    fh.write(data)
            name = os.path.join(run_dir, "f%03d.trv" % i)
            with open(name, "wb") as fh:
                fh.write("\r\n".join(lines).encode("latin-1") + b"\r\n")
            names.append(name)
        lst = os.path.join(WORK, "list.txt")
        err = os.path.join(WORK, "stderr.txt")
        with open(lst, "w") as fh:
            fh.write("\n".join(names) + "\n")
        limit = len(jobs) * (timeout_ms / 1000.0 + 8) + 30
        with open(err, "wb") as ferr:
            out = wine([os.path.join(BUILD, "tarvofuzz.exe"), "--list", lst, "--work", run_dir,
                        "--timeout", str(timeout_ms), "--watch", err], limit, ferr)
        errtext = open(err, "rb").read().decode("latin-1").replace("\r", "")
        results = {}
        for line in out.replace("\r", "").splitlines():
            m = re.match(r"RESULT (\d+) \d+(.*)", line)
            if m:
                results[int(m.group(1))] = [t.strip() for t in m.group(2).split(" | ") if t.strip()]
        stderrs = {}
        for m in re.finditer(r"@@fuzz (\d+)\n(.*?)@@fuzz \1 end", errtext, re.S):
            stderrs[int(m.group(1))] = m.group(2)
        out = []
        for i, (lines, _) in enumerate(jobs):
            self.runs += 1
            tr = results.get(i)
            se = stderrs.get(i, "")
            out.append((classify(lines, tr, se), tr, se))
        return out

    def confirm(self, lines, files, cls):
        """True when the failure shows again; a hang must also outlast a
        time limit of CONFIRM_MS (a loaded machine makes slow runs)."""
        return self.run([(lines, files)], CONFIRM_MS if cls == "hang" else None)[0][0] == cls


def classify(lines, transcript, stderr):
    if transcript is None:
        return "crash" if "Unhandled" in stderr else "lost"
    if "Unhandled" in stderr:
        return "crash"
    last = transcript[-1] if transcript else ""
    boxes = [t for t in transcript if t.startswith("box ") or t.startswith("dialog ")]
    m = re.match(r"exit (\d+)", last)
    if m and (int(m.group(1)) >= 0xC0000000 or int(m.group(1)) == WATCH_KILL):
        return "crash"
    text = "\n".join(lines)
    if last.startswith("killed"):
        if any(t.startswith("waits for input") for t in transcript) or may_loop(lines):
            return "timeout"
        return "hang"
    if m and not boxes and not EXITING.search(text) and "waits for input" not in " ".join(transcript):
        return "silent"
    if any(t.startswith('box "fuzz" "alive"') for t in transcript):
        return "clean"
    return "error"


# ----------------------------------------------------------------- shrinking

def split_args(line):
    """(head, [args], tail) of 'NAME (a, b, c)'; None without brackets."""
    m = re.match(r'^(\s*[^(]*\()(.*)(\)\s*)$', line)
    if not m:
        return None
    args, cur, quoted = [], "", False
    for ch in m.group(2):
        if ch == '"':
            quoted = not quoted
        if ch == "," and not quoted:
            args.append(cur)
            cur = ""
        else:
            cur += ch
    args.append(cur)
    return m.group(1), args, m.group(3)


def simpler_lines(line):
    """Candidate replacements of one line, simplest first."""
    out = []
    sp = split_args(line)
    if sp:
        head, args, tail = sp
        for k, a in enumerate(args):
            a = a.strip()
            if not re.fullmatch(r"-?\d+", a):
                continue
            for rep in ("0", "1"):
                if a != rep and not (rep == "1" and a == "0"):
                    out.append(head + ",".join(args[:k] + [(" " if k else "") + rep] + args[k + 1:]) + tail)
    for m in re.finditer(r'"([^"]*)"', line):
        s = m.group(1)
        if len(s) > 1:
            for n in (0, len(s) // 2):
                out.append(line[:m.start()] + '"' + s[:n] + '"' + line[m.end():])
    # A long unquoted tail (an unterminated text) halved.
    if len(line) > 200 and not out:
        out.append(line[: len(line) // 2 + 10])
    return out


class Shrinker:
    def __init__(self, runner, budget_s):
        self.runner = runner
        self.budget_s = budget_s

    def fails(self, cands, files, want):
        res = self.runner.run([(c + [ALIVE], files) for c in cands])
        return [r[0] == want for r in res]

    def shrink(self, lines, files, want):
        start = time.time()
        body = [l for l in lines if l != ALIVE]
        # Delta debugging over lines: drop chunks, then single lines.
        n = 2
        while len(body) >= 2 and time.time() - start < self.budget_s:
            size = max(1, len(body) // n)
            chunks = [body[:i] + body[i + size:] for i in range(0, len(body), size)]
            ok = self.fails(chunks, files, want)
            hit = next((c for c, f in zip(chunks, ok) if f), None)
            if hit is not None:
                body = hit
                n = max(2, n - 1)
            elif size == 1:
                break
            else:
                n = min(len(body), n * 2)
        # Then over arguments: numbers to 0 or 1, texts shortened.
        changed = True
        while changed and time.time() - start < self.budget_s:
            changed = False
            cands = []
            for i, l in enumerate(body):
                for s in simpler_lines(l)[:12]:
                    cands.append(body[:i] + [s] + body[i + 1:])
            if not cands:
                break
            for k in range(0, len(cands), 24):
                if time.time() - start >= self.budget_s:
                    break
                part = cands[k:k + 24]
                ok = self.fails(part, files, want)
                hit = next((c for c, f in zip(part, ok) if f), None)
                if hit is not None:
                    body, changed = hit, True
                    break
        # Files that the shrunk script no longer names are left out.
        text = "\n".join(body)
        files = {k: v for k, v in files.items() if k in text}
        return body + [ALIVE], files


# ---------------------------------------------------------------- the run

def save(lines, files, cls, note):
    os.makedirs(FOUND, exist_ok=True)
    text = "\r\n".join(lines) + "\r\n"
    h = hashlib.sha1(text.encode("latin-1") + b"".join(files[k] for k in sorted(files))).hexdigest()[:8]
    name = "%s-%s" % (cls, h)
    head = "{ found by the fuzzer: %s; %s }\r\n" % (cls, note)
    with open(os.path.join(FOUND, name + ".trv"), "wb") as fh:
        fh.write(head.encode("latin-1") + text.encode("latin-1"))
    if files:
        d = os.path.join(FOUND, name + ".files")
        os.makedirs(d, exist_ok=True)
        for k, v in files.items():
            with open(os.path.join(d, k), "wb") as fh:
                fh.write(v)
    return name


def load_found():
    jobs = []
    if not os.path.isdir(FOUND):
        return jobs
    for name in sorted(os.listdir(FOUND)):
        if not name.endswith(".trv"):
            continue
        lines = open(os.path.join(FOUND, name), encoding="latin-1").read().splitlines()
        files = {}
        d = os.path.join(FOUND, name[:-4] + ".files")
        if os.path.isdir(d):
            for k in os.listdir(d):
                files[k] = open(os.path.join(d, k), "rb").read()
        jobs.append((name, lines, files))
    return jobs


def short(lines, limit=160):
    out = []
    for l in lines:
        out.append(l if len(l) <= limit else l[:limit] + "... (%d chars)" % len(l))
    return out


def main():
    global FOUND
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--seed", type=int, default=None)
    ap.add_argument("--families", default="mutate,commands,bitmaps,ini")
    ap.add_argument("--timeout", type=int, default=3000, help="time limit of one run (ms)")
    ap.add_argument("--batch", type=int, default=25, help="scripts per Wine session")
    ap.add_argument("--shrink-seconds", type=float, default=120)
    ap.add_argument("--save", action="store_true", help="keep shrunk failures in tests/fuzz/found/")
    ap.add_argument("--replay", action="store_true", help="run the kept failures first")
    ap.add_argument("--found", default=None, help="where failures are kept (tests/fuzz/found)")
    ap.add_argument("--shrink", metavar="FILE.trv", help="only shrink this script (it must fail) and print it")
    ap.add_argument("--verbose", action="store_true", help="print the transcripts of the kept scripts")
    a = ap.parse_args()
    FOUND = a.found or FOUND
    seed = a.seed if a.seed is not None else random.randrange(1 << 30)
    rnd = random.Random(seed)
    runner = Runner(a.timeout)
    bad = 0
    if a.shrink:
        lines = [l for l in open(a.shrink, encoding="latin-1").read().splitlines() if not l.startswith("{ found")]
        d = a.shrink[:-4] + ".files"
        files = {k: open(os.path.join(d, k), "rb").read() for k in os.listdir(d)} if os.path.isdir(d) else {}
        cls = runner.run([(lines, files)])[0][0]
        if cls not in FAILURES:
            log("fuzz: %s does not fail (%s)" % (a.shrink, cls))
            return 1
        small, _ = Shrinker(runner, a.shrink_seconds).shrink(lines, files, cls)
        log("fuzz: %s, shrunk to:" % cls)
        for l in small:
            log(l)
        return 0
    if a.replay:
        kept = load_found()
        if kept:
            res = runner.run([(l, f) for _, l, f in kept])
            for (name, lines, files), (cls, tr, _) in zip(kept, res):
                if cls == "hang" and not runner.confirm(lines, files, cls):
                    cls = "slow"
                ok = cls not in FAILURES and cls != "lost"
                log("%s kept %s: %s" % ("PASS" if ok else "FAIL", name, cls))
                if a.verbose:
                    log("    " + " | ".join(short(tr or [], 100)))
                bad += not ok
    families = [f for f in a.families.split(",") if f]
    gen = Gen(rnd, command_table(), corpus())
    log("fuzz: seed %d, %s, %.0f s" % (seed, ",".join(families), a.seconds))
    start = time.time()
    counts = {}
    seen = set()
    shrinker = Shrinker(runner, a.shrink_seconds)
    while time.time() - start < a.seconds:
        jobs = []
        for _ in range(a.batch):
            fam = rnd.choice(families)
            lines, files = gen.script(fam)
            jobs.append((lines, files, fam))
        res = runner.run([(l, f) for l, f, _ in jobs])
        for (lines, files, fam), (cls, tr, se) in zip(jobs, res):
            counts[cls] = counts.get(cls, 0) + 1
            if cls not in FAILURES:
                continue
            t = time.time() - start
            log("FOUND %s after %.0f s (run %d, family %s)" % (cls, t, runner.runs, fam))
            # The same failure again (same class, same commands): not shrunk again.
            rough = (cls, fam, frozenset(keyword_of(l) for l in lines))
            if rough in seen:
                log("    (the same as one found before)")
                continue
            seen.add(rough)
            if not runner.confirm(lines, files, cls):
                log("    not again with a time limit of %d ms: not counted" % CONFIRM_MS)
                counts["unconfirmed"] = counts.get("unconfirmed", 0) + 1
                continue
            small, sfiles = shrinker.shrink(lines, files, cls)
            if not runner.confirm(small, sfiles, cls):
                small, sfiles = lines, files
            key = (cls, tuple(keyword_of(l) for l in small))
            for l in short(small):
                log("    " + l)
            if key in seen:
                log("    (the same as one found before)")
                continue
            seen.add(key)
            bad += 1
            if a.save:
                log("    kept as %s.trv" % os.path.join(os.path.relpath(FOUND, ROOT), save(small, sfiles, cls, "seed %d, family %s" % (seed, fam))))
    took = time.time() - start
    log("fuzz: %d runs in %.0f s (%.1f a second): %s" % (
        runner.runs, took, runner.runs / max(took, 1e-9),
        ", ".join("%s %d" % (k, v) for k, v in sorted(counts.items()))))
    log("fuzz: %s" % ("nothing found" if bad == 0 else "%d failures" % bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
