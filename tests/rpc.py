"""A child process spoken to as editors speak to language servers and debug
adapters: JSON messages behind Content-Length headers over its stdin and
stdout. A reader thread queues what comes, so that every wait is bounded."""
import json
import queue
import subprocess
import threading


class Peer:
    def __init__(self, command):
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.inbox = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out, length = self.proc.stdout, None
        for line in iter(out.readline, b""):
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value)
            elif not line.strip() and length is not None:
                self.inbox.put(json.loads(out.read(length)))
                length = None
        self.inbox.put(None)

    def send(self, message):
        body = json.dumps(message).encode()
        self.proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.proc.stdin.flush()

    def receive(self, timeout):
        """The next message; queue.Empty when none comes in time."""
        m = self.inbox.get(timeout=max(0.01, timeout))
        if m is None:
            self.inbox.put(None)
            # The exit code tells a crash (0xC0000005 and the like) from an end.
            try:
                code = "0x%X" % (self.proc.wait(timeout=2) & 0xFFFFFFFF)
            except subprocess.TimeoutExpired:
                code = "none yet"
            raise EOFError("the peer closed its output (exit code %s)" % code)
        return m
