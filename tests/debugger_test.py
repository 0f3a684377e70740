#!/usr/bin/env python3
"""Drives tarvo-dap as an editor would and checks what it reports while real
scripts run in the runtime under Wine.
    tests/debugger_test.py ADAPTER RUNTIME WORKDIR POSTKEY
POSTKEY posts a character to the runtime's window. An ADAPTER ending in .exe
runs under Wine too and is given Windows paths."""
import os
import queue
import subprocess
import sys
import time

from rpc import Peer

ADAPTER, RUNTIME, WORK, POSTKEY = sys.argv[1:5]
TIMEOUT = 60  # Wine may be slow to start a program on a loaded machine
WINDOWS = ADAPTER.lower().endswith(".exe")
passed = failed = 0


def native(path):
    return "Z:" + path.replace("/", "\\") if WINDOWS else path


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


class Session(Peer):
    def __init__(self):
        super().__init__(["wine", ADAPTER] if WINDOWS else [ADAPTER])
        self.seq, self.events, self.responses = 1, [], {}

    def wait(self, take, what, timeout=TIMEOUT):
        """Reads messages until take() finds what it looks for."""
        deadline = time.time() + timeout
        while True:
            found = take()
            if found is not None:
                return found
            try:
                m = self.receive(deadline - time.time())
            except queue.Empty:
                raise Failure("no %s within %ss" % (what, timeout))
            if m["type"] == "event":
                self.events.append(m)
            elif m["type"] == "response":
                self.responses[m["request_seq"]] = m

    def request(self, command, ok=True, wait=True, **arguments):
        seq = self.seq
        self.seq += 1
        self.send({"seq": seq, "type": "request", "command": command, "arguments": arguments})
        if not wait:
            return seq
        r = self.response(seq)
        check(r["success"] or not ok, "%s failed: %s" % (command, r.get("message")))
        return r

    def response(self, seq):
        return self.wait(lambda: self.responses.pop(seq, None), "response to request %d" % seq)

    def event(self, name, timeout=TIMEOUT):
        """The next event of that name not yet taken."""
        def take():
            for i, e in enumerate(self.events):
                if e["event"] == name:
                    return self.events.pop(i).get("body", {})
        return self.wait(take, name + " event", timeout)

    def no_event(self, name, seconds):
        try:
            body = self.event(name, seconds)
        except Failure:
            return
        raise Failure("unexpected %s event: %s" % (name, body))

    def start(self, script, breakpoints=(), **launch):
        self.path = os.path.join(WORK, script[0])
        with open(self.path, "wb") as f:
            f.write("\r\n".join(script[1:]).encode("latin-1") + b"\r\n")
        self.request("initialize", adapterID="tarvo", linesStartAt1=True, columnsStartAt1=True)
        self.event("initialized")
        seq = self.request("launch", wait=False, program=script[0], runtime=native(RUNTIME), cwd=native(WORK), **launch)
        if breakpoints:
            self.set_breakpoints(breakpoints)
        # Breakpoints of another file stay out of this script.
        self.set_breakpoints([1, 2, 3, 4], os.path.join(WORK, "other.trv"))
        self.request("configurationDone")
        check(self.response(seq)["success"], "launch failed")

    def set_breakpoints(self, bps, path=None):
        return self.request("setBreakpoints", source={"path": native(path or self.path)},
                            breakpoints=[b if isinstance(b, dict) else {"line": b} for b in bps])

    def go(self, command="continue", *stop):
        """Runs on; with STOP, the arguments of stopped() that it must come to."""
        self.request(command, threadId=1)
        return self.stopped(*stop) if stop else None

    def stopped(self, reason, line, names=None):
        body = self.event("stopped")
        check(body["reason"] == reason, "stopped for %s, not %s: %s" % (body["reason"], reason, body))
        st = self.stack()
        check(line is None or st[0]["line"] == line, "stopped at line %d, not %s" % (st[0]["line"], line))
        check(names is None or [f["name"] for f in st] == names, "stack %s, not %s" % (st, names))
        return body

    def stack(self):
        return [{"name": f["name"], "line": f["line"]}
                for f in self.request("stackTrace", threadId=1)["body"]["stackFrames"]]

    def evaluate(self, expr):
        r = self.request("evaluate", ok=False, expression=expr, frameId=0, context="watch")
        return r["body"]["result"] if r["success"] else "error: " + r.get("message", "")

    def values(self, want, what):
        got = {k: self.evaluate(k) for k in want}
        check(got == want, "%s: %s" % (what, got))

    def finish(self, code=0):
        exited = self.event("exited")
        check(exited["exitCode"] == code, "exit code %s" % exited["exitCode"])
        self.event("terminated")
        self.request("disconnect")
        self.proc.wait(timeout=20)

    def close(self):
        if self.proc.poll() is None:
            try:
                self.request("disconnect", wait=False)
                self.proc.wait(timeout=20)
            except Exception:
                self.proc.kill()


def case(name):
    def run(fn):
        global passed, failed
        s = Session()
        try:
            fn(s)
            print("ok - " + name)
            passed += 1
        except (Failure, EOFError, KeyError, subprocess.TimeoutExpired) as e:
            print("FAIL - %s\n  %r" % (name, e))
            failed += 1
        finally:
            s.close()
    return run


@case("breakpoint with variables, bindings and the GOSUB stack; next, stepIn, stepOut")
def _(s):
    s.start(["steps.trv", 'N = 5', 'S$ = "hi\tthere"', 'SETKEYBOARD ("q", Quit)', 'GOSUB Sub1',   # lines 1-4
             'GOSUB Sub1', 'N = N + 1', 'END', 'Sub1: N = N * 2', 'GOSUB Sub2 | N = N + 0',          # 5-9
             'RETURN', 'Sub2: S$ = "deep"', 'RETURN', 'Quit: END'], [4])                             # 10-13
    s.stopped("breakpoint", 4, ["main"])
    check(s.request("threads")["body"]["threads"][0]["id"] == 1, "one thread")
    v = {}
    for scope in s.request("scopes", frameId=0)["body"]["scopes"]:
        for x in s.request("variables", variablesReference=scope["variablesReference"])["body"]["variables"]:
            v[x["name"]] = x["value"]
    check(v.get("N") == "5" and v.get("S$") == '"hi\tthere"', "variables at line 4: %s" % v)
    check('"q"' in v.get("SETKEYBOARD", "") and "Quit" in v["SETKEYBOARD"], "keyboard binding: %s" % v)
    # Into the subroutine, over a line, into the nested one, out of it, out again.
    for command, line, names in [("stepIn", 8, ["Sub1", "main"]), ("next", 9, ["Sub1", "main"]),
                                 ("stepIn", 11, ["Sub2", "Sub1", "main"]), ("stepOut", 9, ["Sub1", "main"]),
                                 ("next", 10, ["Sub1", "main"]), ("stepOut", 5, ["main"])]:
        s.go(command, "step", line, names)
    s.values({"n": "10", "s$": '"deep"'}, "values after the first call")
    # Over the second call as one step: the subroutine runs unseen.
    s.go("next", "step", 6)
    s.values({"N": "20", "N > 19": "true"}, "after stepping over GOSUB")
    check(s.evaluate("NOSUCH").startswith("error"), "unknown variable is an error")
    s.go()
    s.finish(0)


@case("conditional breakpoints, hit counts, a bad condition; a runtime error stops with its message")
def _(s):
    s.start(["cond.trv", 'S$ = "a"', 'I = 0', 'Loop: I = I + 1', 'IF I = 5 THEN S$ = "five"',     # lines 1-4
             'IF I < 10 THEN GOTO Loop', 'GOSUB Sub', 'END', 'Sub: N = 7 / 0', 'RETURN'],          # 5-9
            [{"line": 5, "condition": "I >= 7", "hitCondition": "2"}])
    s.stopped("breakpoint", 5)
    s.values({"I": "8"}, "condition and hit count")
    # A string condition; the loop goes on around past the old breakpoint.
    s.set_breakpoints([{"line": 3, "condition": 'S$ = "five"'}])
    s.go("continue", "breakpoint", 3)
    s.values({"I": "8"}, "string condition")
    bad = s.set_breakpoints([{"line": 6, "condition": "I = = 3"}, {"line": 4, "hitCondition": "lots"}])
    check([b["verified"] for b in bad["body"]["breakpoints"]] == [True, False], "hit count refused")
    s.go("continue", "breakpoint", 6)
    out = s.event("output")["output"]
    check("line 6" in out and "I = = 3" in out, "bad condition reported: %r" % out)
    s.values({"I": "10"}, "loop ran to its end")
    body = s.go("continue", "exception", 8, ["Sub", "main"])
    check(body.get("text") == "Divide by zero.", "message: %s" % body)
    check(s.request("exceptionInfo", threadId=1)["body"]["description"] == "Divide by zero.", "exceptionInfo")
    s.request("terminate")
    s.finish(0)


@case("pause of an endless loop, stop on entry, terminate while running")
def _(s):
    s.start(["loop.trv", 'N = 0', 'Loop: N = N + 1', 'GOTO Loop'], stopOnEntry=True)
    s.stopped("entry", 1)
    check(s.evaluate("N").startswith("error"), "nothing ran before entry")
    s.go()
    time.sleep(0.5)
    s.go("pause", "pause", None)
    first = int(s.evaluate("N"))
    check(first > 0, "the loop ran")
    time.sleep(0.5)
    s.values({"N": str(first)}, "nothing runs while paused")
    s.go()
    time.sleep(0.3)
    s.request("terminate")
    s.finish(0)


def post_key(ch):
    check(subprocess.run(["wine", POSTKEY, ch]).returncode == 0, "key posted")


@case("input that comes while stopped waits for the script; WAITINPUT stopped past its time-out")
def _(s):
    s.start(["wait.trv", 'N = 1', 'SETKEYBOARD ("q", Key)', 'N = 5', 'WAITINPUT ()',             # lines 1-4
             'END', 'Key: N = N + 10', 'WAITINPUT (1500)', 'END'], [3, 6])                         # 5-8
    # Stopped while running: the key waits until the script waits for it.
    s.stopped("breakpoint", 3)
    post_key("q")
    time.sleep(0.5)
    s.values({"N": "1"}, "nothing ran while stopped")
    s.go("continue", "breakpoint", 6)
    s.values({"N": "5"}, "the key ran its label once the script waited")
    # Stopped while waiting: neither the key nor the time-out runs anything.
    s.go()
    time.sleep(0.5)
    s.go("pause", "pause", 7)
    post_key("q")
    s.no_event("stopped", 2.5)
    s.values({"N": "15"}, "nothing ran while paused")
    s.go("continue", "breakpoint", 6)
    s.values({"N": "15"}, "the key came first after the pause")
    s.set_breakpoints([])
    s.go()
    s.finish(0)   # the second WAITINPUT times out: the script ends


@case("launch refuses a missing script; a breakpoint before a statement; disconnect ends a stopped script")
def _(s):
    s.request("initialize", adapterID="tarvo")
    r = s.request("launch", ok=False, program=native(os.path.join(WORK, "nosuch.trv")), runtime=native(RUNTIME))
    check(not r["success"] and "nosuch" in r["message"], "missing script refused")
    s.close()
    s.__init__()
    # A breakpoint on a comment stops at the statement after it.
    s.start(["hold.trv", '{ a comment', '}', '', 'N = 1', 'GETCMDLINE (C$)', 'N = 2', 'END'], [1])
    s.stopped("breakpoint", 4)
    s.go("next", "step", 5)
    s.go("next", "step", 6)
    c = s.evaluate("C$")
    check("hold.trv" in c and "tarvo-debug" not in c, "the script's command line hides the switch: %s" % c)
    s.request("disconnect")
    s.proc.wait(timeout=20)
    check(any(e["event"] == "terminated" for e in s.events), "terminated before disconnect ends")


print("debugger_test: %d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
