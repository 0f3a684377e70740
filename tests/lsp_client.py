#!/usr/bin/env python3
"""Speaks the Language Server Protocol to tarvo-lsp as an editor would and
checks its answers: diagnostics on open and on change, hover, completion,
definition, document symbols, an unknown request, shutdown and exit.
    usage: lsp_client.py TARVO-LSP-COMMAND..."""
import sys

from rpc import Peer

server = Peer(sys.argv[1:])
URI = "file:///tmp/lsp_test.trv"
failures = 0
next_id = 0


def expect(cond, what):
    global failures
    if not cond:
        failures += 1
        print("FAIL", what)


def receive(want):
    while True:
        m = server.receive(30)
        if want(m):
            return m


def request(method, params):
    global next_id
    next_id += 1
    server.send({"jsonrpc": "2.0", "id": next_id, "method": method, "params": params})
    return receive(lambda m: m.get("id") == next_id)


def notify(method, params):
    server.send({"jsonrpc": "2.0", "method": method, "params": params})


def diagnostics():
    d = receive(lambda m: m.get("method") == "textDocument/publishDiagnostics")["params"]
    expect(d["uri"] == URI, "diagnostics name the document")
    return sorted((x["range"]["start"]["line"], x["range"]["start"]["character"], x["severity"], x["message"])
                  for x in d["diagnostics"])


def at(method, line, character):
    return request(method, {"textDocument": {"uri": URI}, "position": {"line": line, "character": character}})["result"]


try:
    caps = request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})["result"]["capabilities"]
    for c in ("hoverProvider", "completionProvider", "definitionProvider", "documentSymbolProvider"):
        expect(c in caps, "capability " + c)
    notify("initialized", {})
    notify("textDocument/didOpen", {"textDocument": {"uri": URI, "languageId": "tarvo", "version": 1,
           "text": "start: X = 1\r\nDRAWLINE (1, 2, 3)\r\nGOTO start\r\nGOSUB nowhere\r\n"}})
    got = diagnostics()
    expect(got == [(1, 17, 1, "Syntax error."), (3, 0, 2, "Unreachable code: no label or IF leads here."),
                   (3, 6, 1, "Label not found.")], "diagnostics on open: %s" % got)

    value = (at("textDocument/hover", 1, 3) or {}).get("contents", {}).get("value", "")
    expect("DRAWLINE (x, y, x, y)" in value and "line" in value.lower(), "hover over DRAWLINE: %r" % value)
    h = at("textDocument/hover", 2, 7)
    expect(h and "line 1" in h["contents"]["value"], "hover over a label: %r" % h)

    items = at("textDocument/completion", 2, 0)["items"]
    labels = {i["label"] for i in items}
    expect(labels >= {"GOTO", "IF", "WAITINPUT", "END", "DRAWLINE", "start", "X"}, "completion: %s" % sorted(labels))
    expect(len(items) > 140, "completion offers every keyword (%d items)" % len(items))

    loc = at("textDocument/definition", 2, 6)
    expect(loc and loc["uri"] == URI and loc["range"]["start"] == {"line": 0, "character": 0},
           "definition of start: %r" % loc)
    for method, line, col in [("hover", 0, 10), ("definition", 1, 2)]:  # a number, a command
        expect(at("textDocument/" + method, line, col) is None, "no %s at %d:%d" % (method, line, col))

    notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 2},
           "contentChanges": [{"text": "start: X = 1\r\nagain:\r\nGOTO start\r\n"}]})
    got = diagnostics()
    expect(got == [(1, 0, 2, "Label again is never used.")], "diagnostics after a change: %s" % got)
    syms = request("textDocument/documentSymbol", {"textDocument": {"uri": URI}})["result"]
    expect([s["name"] for s in syms] == ["start", "again"], "document symbols: %s" % syms)
    err = request("textDocument/formatting", {"textDocument": {"uri": URI}, "options": {}})
    expect(err.get("error", {}).get("code") == -32601, "unknown request answered with an error")

    expect(request("shutdown", None).get("result", 1) is None, "shutdown answered")
    notify("exit", None)
    server.proc.stdin.close()
    rc = server.proc.wait(timeout=10)
    expect(rc == 0, "exit status after shutdown and exit: %s" % rc)
except Exception as e:  # a hang (queue.Empty), a closed pipe, a malformed answer
    expect(False, "the server broke off: %r" % e)
    server.proc.kill()
print("lsp: %d failures" % failures)
sys.exit(1 if failures else 0)
