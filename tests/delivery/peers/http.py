"""HTTP(S) peers on http.server: a base that keeps every request and can
ask for Basic authentication, and the plain upload's server, which reads
the posted multipart form back with the stdlib email parser."""

import base64
import dataclasses
import email.header
import email.parser
import email.policy
import email.utils
import http.server

from . import certs
from .serving import Received, Serving, TcpServer


@dataclasses.dataclass
class HttpRequest:
    method: str
    path: str            # without the query
    query: str           # after "?", undecoded
    headers: object      # http.client.HTTPMessage: .get(name) ignores case
    body: bytes          # as sent, chunked transfer coding removed
    status: int = 0      # what the peer answered


@dataclasses.dataclass
class FormPart:
    name: str
    filename: str | None
    content_type: str
    charset: str | None  # the part's charset parameter
    data: bytes          # transfer encoding (Base64, quoted-printable) undone


@dataclasses.dataclass
class Upload:
    request: HttpRequest
    parts: list          # FormPart, in order
    fields: dict         # name -> bytes, for parts without a file name
    files: dict          # name -> (file name, bytes, content type)
    error: str | None    # why the body could not be read as a form


def _text(raw):
    """A header parameter: RFC 2231 values and encoded words decoded."""
    if raw is None:
        return None
    value = email.utils.collapse_rfc2231_value(raw)
    return str(email.header.make_header(email.header.decode_header(value)))


def read_form(content_type, body):
    """The parts of a multipart/form-data body; ValueError if it is not one."""
    message = email.parser.BytesParser(policy=email.policy.compat32).parsebytes(
        b"Content-Type: " + content_type.encode("latin-1") + b"\r\n\r\n" + body)
    if not message.is_multipart() or message.defects:
        raise ValueError(f"not a well-formed multipart body: {message.defects}")
    parts = []
    for part in message.get_payload():
        if part.defects:
            raise ValueError(f"part defects: {part.defects}")
        name = _text(part.get_param("name", header="content-disposition"))
        if name is None:
            raise ValueError("a part without a name")
        filename = _text(part.get_param("filename", header="content-disposition"))
        parts.append(FormPart(name, filename, part.get_content_type(),
                              part.get_content_charset(), part.get_payload(decode=True) or b""))
    return parts


def _read_body(rfile, headers):
    if "chunked" in headers.get("Transfer-Encoding", "").lower():
        chunks = []
        while True:
            size = int(rfile.readline(1024).split(b";")[0], 16)
            if size == 0:
                while rfile.readline(65536) not in (b"\r\n", b"\n", b""):
                    pass
                return b"".join(chunks)
            chunks.append(rfile.read(size))
            rfile.readline(1024)
    return rfile.read(int(headers.get("Content-Length") or 0))


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60

    def log_message(self, *args):
        pass

    def _serve(self):
        peer = self.server.peer
        path, _, query = self.path.partition("?")
        try:
            body = _read_body(self.rfile, self.headers)
        except ValueError:
            self._answer(400, b"bad chunked body", "text/plain", ())
            self.close_connection = True
            return
        request = HttpRequest(self.command, path, query, self.headers, body)
        if peer.credentials is not None and \
                self.headers.get("Authorization") != peer.credentials:
            status, data, content_type, headers = 401, b"log on", "text/plain", \
                [("WWW-Authenticate", f'Basic realm="{peer.realm}"')]
        else:
            status, data, content_type, headers = peer.respond(request)
        request.status = status
        peer.requests.add(request)
        self._answer(status, data, content_type, headers)

    def _answer(self, status, data, content_type, headers):
        data = data.encode("utf-8") if isinstance(data, str) else data
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    do_GET = do_POST = do_PUT = _serve


class HttpPeer(Serving):
    """Base of the HTTP peers. https: TLS with the run's certificate (or
    certificate=(cert path, key path)). auth=(user, password): requests
    without that Basic authorization get 401 with WWW-Authenticate. Every
    request is kept in .requests; subclasses answer in respond()."""

    def __init__(self, https=False, auth=None, realm="pelmora", address="127.0.0.1", port=0,
                 certificate=None):
        self.https = https
        self.realm = realm
        self.credentials = None if auth is None else "Basic " + base64.b64encode(
            f"{auth[0]}:{auth[1]}".encode("utf-8")).decode("ascii")
        self.requests = Received()
        self._bind = (address, port)
        self._context = certs.server_context(certificate) if https else None

    @property
    def url(self):
        return f"{'https' if self.https else 'http'}://{self.address}:{self.port}"

    def start(self):
        server = TcpServer(self._bind, _Handler, self._context)
        server.peer = self
        return self._run(server)

    def respond(self, request):
        """(status, body, content type, [(header, value)...])"""
        return 404, b"no such page", "text/plain", []


class UploadPeer(HttpPeer):
    """Keeps each POST as an Upload (its multipart form read back) and
    answers it with status and body, and a Location header if given; a body
    that is no well-formed multipart form gets 400 (and is kept, with
    .error); other methods get 405."""

    def __init__(self, status=200, location=None, body=b"ok", **options):
        super().__init__(**options)
        self.status = status
        self.location = location
        self.body = body
        self.received = Received()

    @property
    def uploads(self):
        return self.received.items()

    def wait_for(self, count, timeout=10):
        return self.received.wait_for(count, timeout, "uploads")

    def respond(self, request):
        if request.method != "POST":
            return 405, b"POST only", "text/plain", [("Allow", "POST")]
        try:
            parts = read_form(request.headers.get("Content-Type", ""), request.body)
            error = None
        except (ValueError, UnicodeError) as e:
            parts, error = [], str(e)
        self.received.add(Upload(
            request, parts, {p.name: p.data for p in parts if p.filename is None},
            {p.name: (p.filename, p.data, p.content_type) for p in parts if p.filename is not None},
            error))
        if error is not None:
            return 400, f"unreadable form: {error}", "text/plain", []
        headers = [] if self.location is None else [("Location", self.location)]
        return self.status, self.body, "text/plain", headers
