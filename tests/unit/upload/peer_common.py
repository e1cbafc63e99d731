"""What the tests' peer servers share: the modules they need, the
expectations file the test wrote (every value as the hex of its bytes), the
log-in and files it names, the start-up line with the port, and a
multipart reader built on email.parser."""

import importlib
import json
import sys


def require(*modules):
    """Without one of the modules, says which and exits with 77: the test
    skips, or fails where nothing may be skipped."""
    for name in modules:
        try:
            importlib.import_module(name)
        except ImportError as e:
            print(f"missing {e.name}", flush=True)
            sys.exit(77)


require("email.header", "email.parser", "email.policy", "http.server")

import email.header
import email.parser
import email.policy
import http.server


def load_expected(path):
    """The test's expectations: hex strings become bytes, recursively."""
    def unhex(value):
        if isinstance(value, str):
            return bytes.fromhex(value)
        if isinstance(value, list):
            return [unhex(v) for v in value]
        return {k: unhex(v) for k, v in value.items()}
    with open(path, encoding="ascii") as f:
        return unhex(json.load(f))


def logged_in(expected, login, password):
    """The log-in (texts, None for a missing one) is the expected one."""
    return (login or "").encode() == expected["login"] and \
        (password or "").encode() == expected["password"]


def files_by_name(expected):
    """The expected [[file name, bytes]...] as a dictionary by file name."""
    return {name.decode("utf-8"): data for name, data in expected["files"]}


def serve(server):
    """Says the port, as the test waits for, and serves until killed."""
    print(f"port {server.server_address[1]}", flush=True)
    server.serve_forever()


def serve_http(handler):
    serve(http.server.HTTPServer(("127.0.0.1", 0), handler))


def header_text(raw):
    """A header parameter, encoded words decoded."""
    return str(email.header.make_header(email.header.decode_header(raw)))


def form_parts(content_type, body):
    """[(field name, file name or None, bytes as sent after decoding, charset)]."""
    message = email.parser.BytesParser(policy=email.policy.compat32).parsebytes(
        b"Content-Type: " + content_type.encode("ascii") + b"\r\n\r\n" + body)
    if not message.is_multipart():
        raise ValueError("the body is not multipart")
    parts = []
    for part in message.get_payload():
        name = header_text(part.get_param("name", header="content-disposition"))
        filename = part.get_param("filename", header="content-disposition")
        if filename is not None:
            filename = header_text(filename)
        parts.append((name, filename, part.get_payload(decode=True), part.get_content_charset()))
    return parts


class QuietHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def body(self):
        return self.rfile.read(int(self.headers.get("Content-Length", "0")))

    def answer(self, status, body, content_type="text/xml; charset=utf-8", headers=()):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)
