#!/usr/bin/env python3
"""Speaks the Language Server Protocol to tarvo-lsp over pipes, as an editor
would, and checks its answers: diagnostics on open and on change, hover,
completion, definition, document symbols, an unknown request, shutdown and
exit.

usage: lsp_client.py TARVO-LSP-COMMAND...
"""
import json
import subprocess
import sys
import threading

server = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
failures = 0
URI = "file:///tmp/lsp_test.trv"


def expect(cond, what):
    global failures
    if not cond:
        failures += 1
        print("FAIL", what)


def send(msg):
    body = json.dumps(msg).encode()
    server.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
    server.stdin.flush()


def receive():
    length = None
    while True:
        line = server.stdout.readline()
        if not line:
            raise EOFError("the server closed its output")
        line = line.strip()
        if not line:
            if length is not None:
                break
            continue
        name, _, value = line.partition(b":")
        if name.lower() == b"content-length":
            length = int(value)
    return json.loads(server.stdout.read(length))


# Every read is bounded: a server that hangs fails the test instead.
watchdog = threading.Timer(30, lambda: (print("FAIL the server did not answer in time"), server.kill()))
watchdog.start()

next_id = 0


def request(method, params):
    global next_id
    next_id += 1
    send({"jsonrpc": "2.0", "id": next_id, "method": method, "params": params})
    while True:
        m = receive()
        if m.get("id") == next_id:
            return m


def notification(method):
    while True:
        m = receive()
        if m.get("method") == method:
            return m["params"]


def at(line, character):
    return {"textDocument": {"uri": URI}, "position": {"line": line, "character": character}}


init = request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
caps = init["result"]["capabilities"]
for c in ("hoverProvider", "completionProvider", "definitionProvider", "documentSymbolProvider"):
    expect(c in caps, "capability " + c)
send({"jsonrpc": "2.0", "method": "initialized", "params": {}})

text = "start: X = 1\r\nDRAWLINE (1, 2, 3)\r\nGOTO start\r\nGOSUB nowhere\r\n"
send({"jsonrpc": "2.0", "method": "textDocument/didOpen",
      "params": {"textDocument": {"uri": URI, "languageId": "tarvo", "version": 1, "text": text}}})
d = notification("textDocument/publishDiagnostics")
expect(d["uri"] == URI, "diagnostics name the document")
got = sorted((x["range"]["start"]["line"], x["range"]["start"]["character"], x["severity"], x["message"])
             for x in d["diagnostics"])
expect(got == [(1, 17, 1, "Syntax error."), (3, 0, 2, "Unreachable code: no label or IF leads here."),
               (3, 6, 1, "Label not found.")], "diagnostics on open: %s" % got)

h = request("textDocument/hover", at(1, 3))["result"]
value = h["contents"]["value"] if h else ""
expect("DRAWLINE (x, y, x, y)" in value and "line" in value.lower(), "hover over DRAWLINE: %r" % value)
h = request("textDocument/hover", at(2, 7))["result"]
expect(h and "line 1" in h["contents"]["value"], "hover over a label: %r" % h)
expect(request("textDocument/hover", at(0, 10))["result"] is None, "hover over a number is empty")

items = request("textDocument/completion", at(2, 0))["result"]["items"]
labels = {i["label"]: i for i in items}
for k in ("GOTO", "IF", "WAITINPUT", "END", "DRAWLINE", "start", "X"):
    expect(k in labels, "completion offers " + k)
expect(len(items) > 140, "completion offers every keyword (%d items)" % len(items))

loc = request("textDocument/definition", at(2, 6))["result"]
expect(loc and loc["uri"] == URI and loc["range"]["start"] == {"line": 0, "character": 0},
       "definition of start: %r" % loc)
expect(request("textDocument/definition", at(1, 2))["result"] is None, "no definition for a command")

send({"jsonrpc": "2.0", "method": "textDocument/didChange",
      "params": {"textDocument": {"uri": URI, "version": 2},
                 "contentChanges": [{"text": "start: X = 1\r\nagain:\r\nGOTO start\r\n"}]}})
d = notification("textDocument/publishDiagnostics")
msgs = [(x["range"]["start"]["line"], x["severity"], x["message"]) for x in d["diagnostics"]]
expect(msgs == [(1, 2, "Label again is never used.")], "diagnostics after a change: %s" % msgs)

syms = request("textDocument/documentSymbol", {"textDocument": {"uri": URI}})["result"]
expect([s["name"] for s in syms] == ["start", "again"], "document symbols: %s" % syms)

err = request("textDocument/formatting", {"textDocument": {"uri": URI}, "options": {}})
expect(err.get("error", {}).get("code") == -32601, "unknown request answered with an error")

expect(request("shutdown", None).get("result", 1) is None, "shutdown answered")
send({"jsonrpc": "2.0", "method": "exit"})
server.stdin.close()
rc = server.wait(timeout=10)
watchdog.cancel()
expect(rc == 0, "exit status after shutdown and exit: %s" % rc)
print("lsp: %d failures" % failures)
sys.exit(1 if failures else 0)
