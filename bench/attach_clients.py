#!/usr/bin/env python3
"""Clients of a logger's socket for bench/attach, for SECONDS.

One client reads every line (the readings' times of day, HH:mm:ss.zzz, go to
OUT/watcher.txt); one asks for the whole history again and again and never reads; and in
turns, every RATE seconds, what a socket meets from broken or hostile clients: a line that
is not JSON, a 1 MiB line, an unknown type, a request for the instrument it must refuse, a
burst of cycle requests (more than wait for the line), and every fifth turn 100 clients at
once, each reading the whole history. Prints a line per kind: tried, and answered as they
should be.

Usage: attach_clients.py SOCKET SECONDS OUT
"""
import json
import socket
import sys
import threading
import time

SOCKET, SECONDS, OUT = sys.argv[1], float(sys.argv[2]), sys.argv[3]
RATE = 2.0
TIMEOUT = 10.0
stop = threading.Event()
counts = {}  # kind -> [tried, as expected]
counts_lock = threading.Lock()


def count(kind, good):
    with counts_lock:
        c = counts.setdefault(kind, [0, 0])
        c[0] += 1
        c[1] += bool(good)


class Client:
    def __init__(self):
        self.s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.s.settimeout(TIMEOUT)
        self.s.connect(SOCKET)
        self.buf = b""

    def send(self, obj_or_bytes):
        data = obj_or_bytes if isinstance(obj_or_bytes, bytes) else (
            json.dumps(obj_or_bytes).encode() + b"\n")
        self.s.sendall(data)

    def line(self):
        """The next line as an object, None at the end of the connection."""
        while b"\n" not in self.buf:
            chunk = self.s.recv(65536)
            if not chunk:
                return None
            self.buf += chunk
        raw, self.buf = self.buf.split(b"\n", 1)
        return json.loads(raw)

    def until(self, kind):
        """Lines up to and including the next of `kind`; None if the connection ended first."""
        while True:
            msg = self.line()
            if msg is None or msg.get("type") == kind:
                return msg

    def ends(self):
        """True when the logger closes the connection (after what it still had to say)."""
        try:
            while self.line() is not None:
                pass
            return True
        except ConnectionResetError:
            return True  # closed with bytes of ours unread: the system says so this way
        except (socket.timeout, OSError):
            return False

    def close(self):
        self.s.close()


def refused(kind, payload):
    """A client that sends what the logger must refuse: an error answer, then the end."""
    good = False
    try:
        c = Client()
        try:
            c.send(payload)
        except (BrokenPipeError, ConnectionResetError):
            pass  # closed before all of a long line went out: its answer is still there
        msg = c.until("error")
        good = msg is not None and bool(msg.get("reason")) and c.ends()
        c.close()
    except (OSError, ValueError) as e:
        print(f"  {kind}: {e}", file=sys.stderr)
    count(kind, good)


def cycle_burst(n=8):
    """n cycles at once: each answered, at least four run on the line, the rest busy."""
    good = False
    try:
        c = Client()
        for i in range(n):
            c.send({"type": "cycle", "id": i, "exchanges": [{"send": "P", "reply": True}]})
        answers = [c.until("cycle") for _ in range(n)]
        ok = [a for a in answers if a and a["status"] == "ok"]
        busy = [a for a in answers if a and a["status"] == "busy"]
        good = (len(ok) + len(busy) == n and len(ok) >= 4
                and all(a["replies"] == ["1250\r"] for a in ok))
        c.close()
    except (OSError, ValueError) as e:
        print(f"  cycle burst: {e}", file=sys.stderr)
    count("8 cycle requests at once", good)


def whole_history(results, i):
    try:
        c = Client()
        c.send({"type": "history", "id": i, "since_ms": 0})
        points = 0
        while True:
            msg = c.until("history")
            if msg is None:
                break
            points += len(msg["points"])
            if not msg["more"]:
                results[i] = points
                break
        c.close()
    except (OSError, ValueError) as e:
        print(f"  history client {i}: {e}", file=sys.stderr)


def hundred_clients():
    results = [0] * 100
    threads = [threading.Thread(target=whole_history, args=(results, i)) for i in range(100)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    count("100 clients reading the history", all(results))


def watcher(times):
    c = Client()
    c.s.settimeout(1.0)
    while not stop.is_set():
        try:
            msg = c.line()
        except socket.timeout:
            continue
        if msg is None:
            times.append("ended")
            return
        if msg["type"] == "reading":
            times.append(msg["time"][11:23])
    c.close()


def never_reads(holder):
    c = Client()
    c.s.settimeout(0.5)
    for i in range(200):
        try:
            c.send({"type": "history", "id": i, "since_ms": 0})
        except (socket.timeout, OSError):
            break
    holder.append(c)


def main():
    times, holder = [], []
    watch = threading.Thread(target=watcher, args=(times,))
    watch.start()
    never_reads(holder)
    end = time.monotonic() + SECONDS
    turn = 0
    while time.monotonic() < end:
        started = time.monotonic()
        refused("a line that is not JSON", b"this is no JSON\n")
        refused("a 1 MiB line", b"{" + b"x" * (1 << 20) + b"}\n")
        refused("an unknown type", {"type": "bogus", "id": 1})
        refused("a request the instrument must not get",
                {"type": "cycle", "id": 1, "exchanges": [{"send": "X", "reply": True}]})
        cycle_burst()
        if turn % 5 == 0:
            hundred_clients()
        turn += 1
        time.sleep(max(0.0, min(RATE - (time.monotonic() - started), end - time.monotonic())))
    stop.set()
    watch.join()
    for c in holder:
        c.close()
    with open(f"{OUT}/watcher.txt", "w") as f:
        f.write("".join(t + "\n" for t in times))
    for kind, (tried, good) in counts.items():
        print(f"{kind:45s} {tried:5d} {good:5d}")


if __name__ == "__main__":
    main()
