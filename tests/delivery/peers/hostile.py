"""A TCP server that misbehaves in one way on every connection, to show
that the SMTP and HTTP clients give up rather than hang, crash or run out
of memory. It keeps when each connection opened and ended, and which side
ended it."""

import dataclasses
import os
import socketserver
import time

from .serving import Received, Serving, TcpServer

KINDS = ("close", "close-after-greeting", "error", "huge", "endless", "silent", "malformed",
         "bad-chunk", "garbage-tls")
PROTOCOLS = ("smtp", "smtps", "http", "https")
MB = 1 << 20


@dataclasses.dataclass
class HostileConnection:
    opened: float                # time.monotonic()
    closed: float | None = None
    ended_by: str | None = None  # "peer" (as its kind says), "client" or "stop"
    received: int = 0            # bytes the client sent


class _Gone(Exception):
    """The client closed its side."""


class _Conversation:
    def __init__(self, sock, connection):
        self.sock = sock
        self.connection = connection
        self.buffer = b""

    def _more(self):
        data = self.sock.recv(65536)
        if not data:
            raise _Gone()
        self.connection.received += len(data)
        self.buffer += data

    def until(self, end, limit=MB):
        """The bytes up to and with `end`."""
        while end not in self.buffer and len(self.buffer) < limit:
            self._more()
        at = self.buffer.find(end)
        at = len(self.buffer) if at < 0 else at + len(end)
        data, self.buffer = self.buffer[:at], self.buffer[at:]
        return data

    def some(self):
        if not self.buffer:
            self._more()
        data, self.buffer = self.buffer, b""
        return data

    def send(self, data):
        self.sock.sendall(data)

    def drain(self):
        while True:
            self.buffer = b""
            self._more()


class HostilePeer(Serving):
    """kind: one of KINDS; protocol: "smtp" or "http" says what the kind
    looks like. garbage-tls answers the client's first bytes (its
    ClientHello) with random bytes; over "smtp" only after a greeting, EHLO
    offering STARTTLS and STARTTLS. "smtps" and "https" differ from "smtp"
    and "http" only there. size: bytes of the huge kind; pace: (bytes,
    seconds) of the endless kind."""

    def __init__(self, kind, protocol="smtp", address="127.0.0.1", port=0, size=64 * MB,
                 pace=(64 * 1024, 0.01)):
        if kind not in KINDS or protocol not in PROTOCOLS:
            raise ValueError(f"{kind!r} over {protocol!r}: kinds {KINDS}, protocols {PROTOCOLS}")
        if kind == "bad-chunk" and not protocol.startswith("http"):
            raise ValueError("bad-chunk is an HTTP kind")
        self.kind = kind
        self.protocol = protocol
        self.size = size
        self.pace = pace
        self.received = Received()
        self._bind = (address, port)
        self._stopping = False

    @property
    def connections(self):
        return self.received.items()

    def wait_closed(self, count=1, timeout=10):
        """Waits until `count` connections have ended; TimeoutError if not."""
        return self.received.wait_until(
            lambda items: sum(c.closed is not None for c in items) >= count, timeout,
            f"no {count} connections ended")

    def start(self):
        peer = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                peer._serve(self.request)

        self._stopping = False
        return self._run(TcpServer(self._bind, Handler))

    def stop(self):
        self._stopping = True
        super().stop()

    def _serve(self, sock):
        connection = HostileConnection(time.monotonic())
        self.received.add(connection)
        talk = _Conversation(sock, connection)
        try:
            ended_by = "peer"
            if self.protocol.startswith("smtp"):
                self._smtp(talk)
            else:
                self._http(talk)
        except (_Gone, OSError):
            ended_by = "client"
        connection.ended_by = "stop" if self._stopping else ended_by
        connection.closed = time.monotonic()
        self.received.changed()

    def _smtp(self, talk):
        kind = self.kind
        if kind == "close":
            return
        if kind == "garbage-tls" and self.protocol == "smtps":
            return self._garbage(talk)
        if kind == "huge":
            talk.send(b"220 ")
            self._fill(talk, b"x")
            talk.send(b"\r\n")
            return talk.drain()
        if kind == "endless":
            return self._endless(talk, b"220-" + b"x" * 1018 + b"\r\n")
        if kind == "silent":
            return talk.drain()
        if kind == "malformed":
            talk.send(b"hello there\r\n")
            return talk.drain()
        talk.send(b"554 5.3.2 no service here\r\n" if kind == "error"
                  else b"220 hostile.test ESMTP\r\n")
        if kind == "close-after-greeting":
            return
        while True:  # error and garbage-tls: a few commands until QUIT
            command = talk.until(b"\n").strip().upper()
            if command == b"QUIT":
                return talk.send(b"221 2.0.0 bye\r\n")
            if kind == "garbage-tls" and command.startswith(b"EHLO"):
                talk.send(b"250-hostile.test\r\n250 STARTTLS\r\n")
            elif kind == "garbage-tls" and command == b"STARTTLS":
                talk.send(b"220 2.0.0 go ahead\r\n")
                return self._garbage(talk)
            else:
                talk.send(b"503 5.5.1 no service\r\n")

    def _http(self, talk):
        kind = self.kind
        if kind == "close":
            return
        if kind == "garbage-tls":
            return self._garbage(talk)
        if kind == "silent":
            talk.drain()
        talk.until(b"\r\n\r\n")
        if kind == "close-after-greeting":
            return  # the request read, no answer
        if kind == "error":
            return talk.send(b"HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n"
                             b"Content-Length: 14\r\nConnection: close\r\n\r\ninternal error")
        if kind == "huge":
            talk.send(b"HTTP/1.1 200 OK\r\nX-Filler: ")
            self._fill(talk, b"x")
            talk.send(b"\r\nContent-Length: 0\r\n\r\n")
        elif kind == "endless":
            talk.send(b"HTTP/1.1 200 OK\r\n")
            self._endless(talk, b"X-Filler: " + b"x" * 1012 + b"\r\n")
        elif kind == "malformed":
            talk.send(b"HTTP/1.1 abc\r\n\r\n")
        elif kind == "bad-chunk":
            talk.send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      b"zz\r\nhello\r\n0\r\n\r\n")
        talk.drain()

    def _fill(self, talk, byte):
        block = byte * MB
        for _ in range(self.size // MB):
            talk.send(block)
        talk.send(byte * (self.size % MB))

    def _endless(self, talk, line):
        block = line * max(1, self.pace[0] // len(line))
        while not self._stopping:
            talk.send(block)
            time.sleep(self.pace[1])

    def _garbage(self, talk):
        talk.some()  # the ClientHello
        noise = bytearray(os.urandom(4096))
        noise[0] = 0x00  # no TLS record type, so it cannot pass for one
        talk.send(bytes(noise))
        talk.drain()
