"""A DNS server over UDP for the mail server lookup: MX answers (with A
records for the exchanges it knows), NXDOMAIN for other names, and hostile
replies built by hand where dnslib would refuse to build them."""

import dataclasses
import socketserver
import struct

import dnslib

from .serving import Received, Serving

MODES = ("normal", "loop", "outside", "wrong-id", "silent", "truncated", "tc", "servfail")


@dataclasses.dataclass
class DnsQuery:
    name: str | None   # lower case, without the final "."; None if unreadable
    type: str | None   # "MX", "A", ...
    id: int | None
    data: bytes        # the datagram as it came


def _name(label):
    return str(label).rstrip(".").lower()


def _question_end(query):
    """Where the first question (labels, type, class) ends in a query."""
    at = 12
    while query[at]:
        at += 1 + query[at]
    return at + 1 + 4


def _header(query, flags, answers=0):
    return struct.pack(">HHHHHH", struct.unpack(">H", query[:2])[0], flags, 1, answers, 0, 0)


def _hostile(mode, query):
    """The reply bytes for a hostile mode, with the query's question."""
    question = query[12:_question_end(query)]
    rd = struct.unpack(">H", query[2:4])[0] & 0x0100
    if mode == "servfail":
        return _header(query, 0x8082 | rd) + question
    if mode == "tc":
        return _header(query, 0x8280 | rd) + question
    start = 12 + len(question)  # where the answer's owner name goes
    if mode == "loop":
        owner = struct.pack(">H", 0xC000 | start)  # a pointer to itself
    elif mode == "outside":
        owner = struct.pack(">H", 0xFFFF)
    else:  # truncated: the record stops after its owner and type
        return _header(query, 0x8080 | rd, 1) + question + b"\xc0\x0c\x00\x0f"
    rdata = struct.pack(">H", 10) + b"\x03mx1\xc0\x0c"
    return (_header(query, 0x8080 | rd, 1) + question + owner +
            struct.pack(">HHIH", 15, 1, 300, len(rdata)) + rdata)


class DnsPeer(Serving):
    """records: {domain: [(preference, exchange)...]} answered to MX queries;
    addresses: {host: IPv4 text} answered to A queries and added to the MX
    answers. Names are matched without case and final ".". mode: "normal",
    or a hostile reply to every query (see MODES)."""

    def __init__(self, records=None, addresses=None, mode="normal", address="127.0.0.1",
                 port=0):
        if mode not in MODES:
            raise ValueError(f"mode {mode!r} is not one of {MODES}")
        self.records = {_name(k): v for k, v in (records or {}).items()}
        self.addresses = {_name(k): v for k, v in (addresses or {}).items()}
        self.mode = mode
        self.received = Received()
        self._bind = (address, port)

    @property
    def queries(self):
        return self.received.items()

    def wait_for(self, count, timeout=10):
        return self.received.wait_for(count, timeout, "queries")

    def start(self):
        peer = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                data, sock = self.request
                reply = peer._reply(data)
                if reply is not None:
                    sock.sendto(reply, self.client_address)

        return self._run(socketserver.UDPServer(self._bind, Handler))

    def _reply(self, data):
        try:
            request = dnslib.DNSRecord.parse(data)
            _question_end(data)
        except (dnslib.DNSError, IndexError, struct.error):
            self.received.add(DnsQuery(None, None, None, data))
            return None
        name, qtype = _name(request.q.qname), dnslib.QTYPE.get(request.q.qtype)
        self.received.add(DnsQuery(name, qtype, request.header.id, data))
        if self.mode == "silent":
            return None
        if self.mode not in ("normal", "wrong-id"):
            return _hostile(self.mode, data)
        reply = self._answer(request, name, qtype)
        if self.mode == "wrong-id":
            reply.header.id = (request.header.id + 1) & 0xFFFF
        return reply.pack()

    def _answer(self, request, name, qtype):
        reply = request.reply()
        if name in self.records:
            if qtype in ("MX", "ANY"):
                for preference, exchange in self.records[name]:
                    reply.add_answer(dnslib.RR(name, dnslib.QTYPE.MX, ttl=300,
                                               rdata=dnslib.MX(exchange, preference)))
                    if _name(exchange) in self.addresses:
                        reply.add_ar(dnslib.RR(exchange, dnslib.QTYPE.A, ttl=300,
                                               rdata=dnslib.A(self.addresses[_name(exchange)])))
        elif name in self.addresses:
            if qtype in ("A", "ANY"):
                reply.add_answer(dnslib.RR(name, dnslib.QTYPE.A, ttl=300,
                                           rdata=dnslib.A(self.addresses[name])))
        else:
            reply.header.rcode = dnslib.RCODE.NXDOMAIN
        return reply
