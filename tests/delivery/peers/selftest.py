#!/usr/bin/env python3
"""Drives every peer with Python's own clients, so a fault found later
against the Windows programs is theirs, not the peers'. Exits 0 when all
checks pass, 1 when one fails, 77 when a module it needs is missing."""

import os
import sys

# This folder holds http.py and dns.py: off the path, or they would stand
# in for the standard modules; the package is imported from its parent.
_here = os.path.dirname(os.path.abspath(__file__))
sys.path[:] = [p for p in sys.path if os.path.abspath(p or ".") != _here]
sys.path.insert(0, os.path.dirname(_here))

import importlib

for _module in ("aiosmtpd", "dnslib", "ssl"):
    try:
        importlib.import_module(_module)
    except ImportError as e:
        print(f"missing {e.name}", flush=True)
        sys.exit(77)

import base64
import http.client
import smtplib
import socket
import ssl
import struct
import threading
import time
import traceback
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET
import xmlrpc.client

import dnslib

import peers

FAILURES = []


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def raises(kinds, action):
    """The exception `action` raised, which must be one of `kinds`."""
    try:
        action()
    except kinds as e:
        return e
    raise AssertionError(f"no {kinds} raised")


def unverified():
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    return context


# SMTP

def smtp_starttls_login():
    with peers.SmtpPeer(tls=True, auth=("ann", "p&w<"), require_auth=True) as peer:
        with smtplib.SMTP(peer.address, peer.port, timeout=5) as client:
            client.ehlo()
            expect(client.has_extn("starttls"), "STARTTLS offered")
            refused = raises(smtplib.SMTPSenderRefused,
                             lambda: client.sendmail("a@x", ["b@y"], b"x"))
            expect(refused.smtp_code == 530, f"MAIL before AUTH: {refused.smtp_code}")
            client.starttls(context=unverified())
            client.ehlo()
            client.login("ann", "p&w<")
            client.sendmail("a@x", ["b@y", "c@z"],
                            b"Subject: t\r\n\r\n.dot line\r\n\xc3\xa9\r\n..two\r\n")
        message, = peer.wait_for(1, 5)
        expect(message.sender == "a@x" and message.recipients == ["b@y", "c@z"], "envelope")
        expect(message.data == b"Subject: t\r\n\r\n.dot line\r\n\xc3\xa9\r\n..two\r\n",
               f"dot-unstuffed content: {message.data!r}")
        expect(message.tls and message.login == "ann", f"{message.tls}, {message.login}")
        expect([(a.mechanism, a.accepted, a.tls) for a in peer.auth_attempts] ==
               [("LOGIN", True, True)], f"attempts {peer.auth_attempts}")


def smtp_implicit_ssl_and_wrong_password():
    with peers.SmtpPeer(ssl=True, auth=("ann", "pw")) as peer:
        with smtplib.SMTP_SSL(peer.address, peer.port, timeout=5, context=unverified()) as client:
            raises(smtplib.SMTPAuthenticationError, lambda: client.login("ann", "nope"))
            client.login("ann", "pw")
            client.sendmail("a@x", ["b@y"], b"hi\r\n")
        message, = peer.wait_for(1, 5)
        expect(message.tls and message.login == "ann", "implicit TLS, logged in")
        expect([(a.password, a.accepted) for a in peer.auth_attempts] ==
               [("nope", False), ("pw", True)], f"attempts {peer.auth_attempts}")


def smtp_offers():
    def ehlo(peer):
        with smtplib.SMTP(peer.address, peer.port, timeout=5) as client:
            client.ehlo()
            auth = client.esmtp_features.get("auth")
            return client.has_extn("starttls"), auth and auth.strip()
    with peers.SmtpPeer(tls=True, starttls_offered=False, auth=("ann", "pw")) as peer:
        expect(ehlo(peer) == (False, "LOGIN"), f"no STARTTLS but AUTH LOGIN: {ehlo(peer)}")
        expect(peer.auth_attempts == [], "no log-in")
    with peers.SmtpPeer(auth=("ann", "pw"), mechanisms=("PLAIN",)) as peer:
        expect(ehlo(peer) == (False, "PLAIN"), f"PLAIN only: {ehlo(peer)}")
        with smtplib.SMTP(peer.address, peer.port, timeout=5) as client:
            client.login("ann", "pw")
        expect([a.mechanism for a in peer.auth_attempts] == ["PLAIN"], "logged in with PLAIN")
    with peers.SmtpPeer() as peer:
        expect(ehlo(peer) == (False, None), f"neither STARTTLS nor AUTH: {ehlo(peer)}")
        started = time.monotonic()
        raises(TimeoutError, lambda: peer.wait_for(1, 0.2))
        expect(time.monotonic() - started < 2, "wait_for keeps to its timeout")


# DNS

def dns_ask(peer, name, qtype="MX", timeout=2):
    query = dnslib.DNSRecord.question(name, qtype)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        s.sendto(query.pack(), (peer.address, peer.port))
        return query, s.recv(65536)


def dns_answers():
    with peers.DnsPeer({"Pelmora.Example.": [(10, "mx1.pelmora.example"), (20, "mx2.other")]},
                       {"mx1.pelmora.example": "127.0.0.1"}) as peer:
        query, data = dns_ask(peer, "pelmora.example")
        reply = dnslib.DNSRecord.parse(data)
        expect(reply.header.id == query.header.id and reply.header.rcode == 0, "NOERROR")
        expect(sorted((r.rdata.preference, str(r.rdata.label)) for r in reply.rr) ==
               [(10, "mx1.pelmora.example."), (20, "mx2.other.")], f"MX {reply.rr}")
        expect([str(r.rdata) for r in reply.ar] == ["127.0.0.1"], f"additional {reply.ar}")
        _, data = dns_ask(peer, "mx1.pelmora.example", "A")
        expect([str(r.rdata) for r in dnslib.DNSRecord.parse(data).rr] == ["127.0.0.1"], "A")
        _, data = dns_ask(peer, "other.example")
        expect(dnslib.DNSRecord.parse(data).header.rcode == dnslib.RCODE.NXDOMAIN, "NXDOMAIN")
        seen = [(q.name, q.type) for q in peer.wait_for(3, 2)]
        expect(seen == [("pelmora.example", "MX"), ("mx1.pelmora.example", "A"),
                        ("other.example", "MX")], f"queries {seen}")
        expect(peer.queries[0].id == query.header.id, "query id kept")


def dns_hostile():
    records = {"pelmora.example": [(10, "mx1.pelmora.example")]}

    def reply(mode):
        with peers.DnsPeer(records, mode=mode) as peer:
            query, data = dns_ask(peer, "pelmora.example")
            expect(len(peer.queries) == 1, "query kept")
            return query, data

    question_end = 12 + len(b"\x08pelmora\x07example\x00") + 4
    query, data = reply("wrong-id")
    expect(struct.unpack(">H", data[:2])[0] != query.header.id, "another id")
    expect(len(dnslib.DNSRecord.parse(data).rr) == 1, "otherwise a good answer")
    _, data = reply("servfail")
    expect(dnslib.DNSRecord.parse(data).header.rcode == 2, "SERVFAIL")
    _, data = reply("tc")
    expect(dnslib.DNSRecord.parse(data).header.tc == 1, "truncation flag")
    _, data = reply("loop")
    pointer = struct.unpack(">H", data[question_end:question_end + 2])[0]
    expect(pointer & 0xC000 == 0xC000 and pointer & 0x3FFF == question_end, "points to itself")
    _, data = reply("outside")
    pointer = struct.unpack(">H", data[question_end:question_end + 2])[0]
    expect(pointer & 0xC000 == 0xC000 and pointer & 0x3FFF >= len(data), "points past the end")
    _, data = reply("truncated")
    expect(struct.unpack(">H", data[6:8])[0] == 1 and len(data) < question_end + 10,
           "one answer announced, cut within it")
    with peers.DnsPeer(records, mode="silent") as peer:
        raises(socket.timeout, lambda: dns_ask(peer, "pelmora.example", timeout=0.3))
        expect(len(peer.wait_for(1, 1)) == 1, "silent still keeps the query")


# HTTP upload

BOUNDARY = "b0und4ry"


def form(*parts):
    body = b""
    for headers, data in parts:
        body += f"--{BOUNDARY}\r\n{headers}\r\n\r\n".encode("utf-8") + data + b"\r\n"
    return body + f"--{BOUNDARY}--\r\n".encode()


def post(url, body, headers=(), content_type=f"multipart/form-data; boundary={BOUNDARY}",
         context=None):
    request = urllib.request.Request(url, body, dict(headers, **{"Content-Type": content_type}))
    try:
        with urllib.request.urlopen(request, timeout=5, context=context) as response:
            return response.status, response.read(), response.headers
    except urllib.error.HTTPError as e:
        return e.code, e.read(), e.headers


FIELD = form(('Content-Disposition: form-data; name="a"', b"1"))
SAMPLE = bytes(range(256)) + b"\r\n--b0und4r\r\n"  # all bytes, and near the boundary


def upload_form():
    with peers.UploadPeer() as peer:
        body = form(('Content-Disposition: form-data; name="summary"', "a < b & c é".encode()),
                    ('Content-Disposition: form-data; name="file"; '
                     "filename*=UTF-8''r%C3%A9port.zip\r\nContent-Type: application/zip", SAMPLE))
        status, _, _ = post(peer.url + "/up/", body)
        expect(status == 200, f"status {status}")
        upload, = peer.wait_for(1, 2)
        expect(upload.error is None and upload.request.path == "/up/", upload.error)
        expect(upload.fields == {"summary": "a < b & c é".encode()}, f"fields {upload.fields}")
        expect(upload.files == {"file": ("réport.zip", SAMPLE, "application/zip")},
               f"files {upload.files}")
        status, text, _ = post(peer.url + "/up/", body[:-30])
        expect(status == 400 and peer.uploads[1].error, f"a cut form is refused: {status} {text}")
        expect(post(peer.url, b"", content_type="text/plain")[0] == 400, "an empty body")
        connection = http.client.HTTPConnection(peer.address, peer.port, timeout=5)
        connection.request("POST", "/chunked", iter([body[:100], body[100:]]),
                           {"Content-Type": f"multipart/form-data; boundary={BOUNDARY}"},
                           encode_chunked=True)
        response = connection.getresponse()
        expect(response.status == 200 and response.read() == b"ok", "chunked body")
        connection.request("GET", "/")
        expect(connection.getresponse().status == 405, "GET refused")
        connection.close()
        expect(peer.uploads[3].files == upload.files, "the chunked form reads the same")


def upload_auth_redirect_https():
    with peers.UploadPeer(auth=("ann", "pä:ss"), realm="up", status=302,
                          location="/thanks") as peer:
        status, _, headers = post(peer.url, FIELD)
        expect(status == 401 and headers["WWW-Authenticate"] == 'Basic realm="up"', f"{status}")
        wrong = {"Authorization": "Basic " + base64.b64encode(b"ann:pass").decode()}
        expect(post(peer.url, FIELD, wrong)[0] == 401, "wrong password")
        right = {"Authorization": "Basic " + base64.b64encode("ann:pä:ss".encode()).decode()}
        connection = http.client.HTTPConnection(peer.address, peer.port, timeout=5)
        connection.request("POST", "/", FIELD, dict(right, **{
            "Content-Type": f"multipart/form-data; boundary={BOUNDARY}"}))
        response = connection.getresponse()
        expect((response.status, response.headers["Location"]) == (302, "/thanks"),
               f"redirect: {response.status} {response.headers['Location']}")
        connection.close()
        expect(len(peer.uploads) == 1 and [r.status for r in peer.requests.items()] ==
               [401, 401, 302], "only the logged-in post is an upload")
    with peers.UploadPeer(https=True) as peer:
        cert, _ = peers.run_certificate()
        status, _, _ = post(peer.url, FIELD, context=ssl.create_default_context(cafile=cert))
        expect(status == 200 and len(peer.uploads) == 1, "HTTPS with a verified certificate")
        with socket.create_connection((peer.address, peer.port), 5) as s:
            s.sendall(b"POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
            s.settimeout(5)
            try:
                answer = s.recv(100)
            except ConnectionResetError:
                answer = b""
            expect(answer[:1] in (b"", b"\x15"), f"plain HTTP gets no answer: {answer!r}")
        expect(len(peer.requests.items()) == 1, "nor is it a request")


# Trackers

def bugzilla():
    with peers.BugzillaPeer(account=("ann", "pw")) as peer:
        rpc = xmlrpc.client.ServerProxy(peer.url + "/xmlrpc.cgi", allow_none=True)
        login = {"Bugzilla_login": "ann", "Bugzilla_password": "pw"}
        expect(rpc.Bugzilla.version({})["version"] == "5.0.4", "anonymous version")
        ids = rpc.Product.get_enterable_products(login)["ids"]
        names = [p["name"] for p in rpc.Product.get(dict(login, ids=ids))["products"]]
        expect(names == ["Other", "Pelmora"], f"products {names}")
        expect(len(rpc.Bug.fields(login)["fields"]) == 4, "fields")
        bug = dict(product="Pelmora", component="Crashes", version="1.1", summary="a < b & c",
                   description="é\n<tag>")
        expect(rpc.Bug.create(dict(login, **bug)) == {"id": 42}, "bug 42")
        rpc.Bug.add_attachment(dict(login, ids=[42], file_name="r.zip", summary="report",
                                    content_type="application/zip",
                                    data=xmlrpc.client.Binary(SAMPLE)))
        fault = raises(xmlrpc.client.Fault, lambda: rpc.Bug.create(
            dict(login, **dict(bug, component="Nope"))))
        expect(fault.faultCode == 32000, "unknown component")
        fault = raises(xmlrpc.client.Fault, lambda: rpc.Bug.fields(
            {"Bugzilla_login": "ann", "Bugzilla_password": "x"}))
        expect(fault.faultCode == 300, "wrong password")
        expect(peer.bugs.items() == [bug], f"bug kept {peer.bugs.items()}")
        attachment, = peer.attachments.items()
        expect(attachment["data"] == SAMPLE and attachment["file_name"] == "r.zip", "attachment")
        raw = (b"<?xml version='1.0'?><methodCall><methodName>Bug.create</methodName><params>"
               b"<param><value><struct><member><name>summary</name><value><string>a < b"
               b"</string></value></member></struct></value></param></params></methodCall>")
        status, answer, _ = post(peer.url + "/xmlrpc.cgi", raw, content_type="text/xml")
        fault = raises(xmlrpc.client.Fault, lambda: xmlrpc.client.loads(answer))
        expect(status == 200 and fault.faultCode == -32700, "not well-formed")
        expect([r.kind for r in peer.refusals.items()] == ["request", "login", "xml"],
               f"refusals {peer.refusals.items()}")
        expect(len(peer.bugs.items()) == 1, "no bug from a refused call")


def soap(method, arguments, extra=""):
    return (f'<?xml version="1.0" encoding="UTF-8"?><env:Envelope '
            f'xmlns:env="http://schemas.xmlsoap.org/soap/envelope/" xmlns:m="urn:m">'
            f"<env:Body><m:{method}>{arguments}</m:{method}>{extra}</env:Body></env:Envelope>"
            ).encode("utf-8")


def soap_return(answer):
    return next(e for e in ET.fromstring(answer).iter() if e.tag == "return")


def mantis():
    with peers.MantisPeer(account=("ann", "pw"), prefix="/mantis") as peer:
        url = peer.url + "/mantis/api/soap/mantisconnect.php/"
        status, answer, _ = post(url + "mc_version", soap("mc_version", ""),
                                 content_type="text/xml")
        expect(status == 200 and soap_return(answer).text == "1.2.19", "version")
        login = "<username>ann</username><password>pw</password>"
        status, answer, _ = post(url + "mc_projects_get_user_accessible",
                                 soap("mc_projects_get_user_accessible", login),
                                 content_type="text/xml")
        names = [e.text for e in soap_return(answer).iter("name")]
        expect(names == ["Pelmora", "Plugins"], f"projects {names}")
        issue = ('<issue href="#id1"/>', '<m:IssueData id="id1"><project><id>1</id>'
                 '<name>Pelmora</name></project><summary>a &lt; b &amp; c</summary>'
                 '<category>Crashes</category><notes><item>n1</item></notes></m:IssueData>')
        status, answer, _ = post(url + "mc_issue_add", soap("mc_issue_add", login + issue[0],
                                                            issue[1]), content_type="text/xml")
        expect(status == 200 and soap_return(answer).text == "77", f"issue {answer!r}")
        expect(peer.issues.items() == [{"project": {"id": "1", "name": "Pelmora"},
                                        "summary": "a < b & c", "category": "Crashes",
                                        "notes": ["n1"]}], f"issue {peer.issues.items()}")
        content = base64.encodebytes(SAMPLE).decode()  # with line breaks
        post(url + "mc_issue_attachment_add", soap(
            "mc_issue_attachment_add", login + "<issue_id>77</issue_id><name>r.zip</name>"
            f"<file_type>application/zip</file_type><content>{content}</content>"),
            content_type="text/xml")
        attachment, = peer.attachments.items()
        expect(attachment["content"] == SAMPLE and attachment["name"] == "r.zip", "attachment")
        status, _, _ = post(url + "mc_issue_add", soap("mc_issue_add", login + "<issue><summary>"
                                                       "a < b</summary></issue>"),
                            content_type="text/xml")
        expect(status == 500, "not well-formed")
        status, answer, _ = post(url + "mc_enum_priorities", soap(
            "mc_enum_priorities", "<username>ann</username><password>no</password>"),
            content_type="text/xml")
        expect(status == 500 and b"faultstring" in answer, "wrong password")
        expect([r.kind for r in peer.refusals.items()] == ["xml", "login"],
               f"refusals {peer.refusals.items()}")
        expect(len(peer.issues.items()) == 1, "no issue from a refused call")


def fogbugz():
    with peers.FogBugzPeer(account=("ann@pelmora.example", "p&w")) as peer:
        def get(query):
            with urllib.request.urlopen(peer.url + query, timeout=5) as response:
                return ET.fromstring(response.read())
        expect(get("/api.xml").find("url").text == "api.asp?", "api.xml")
        token = get("/api.asp?cmd=logon&email=ann%40pelmora.example&password=p%26w")
        token = token.find("token").text
        expect(token == "tok&42 <x>", f"token {token!r}")
        quoted = urllib.parse.quote(token)
        projects = [e.text for e in get(f"/api.asp?cmd=listProjects&fWrite=1&token={quoted}")
                    .iter("sProject")]
        expect(projects == ["Inbox", "Pelmora"], f"projects {projects}")
        expect(get("/api.asp?cmd=listPeople&token=wrong").find("error") is not None, "no token")
        body = form(('Content-Disposition: form-data; name="cmd"', b"new"),
                    ('Content-Disposition: form-data; name="token"', token.encode()),
                    ('Content-Disposition: form-data; name="sTitle"', "a < b é".encode()),
                    ('Content-Disposition: form-data; name="sEvent"\r\n'
                     "Content-Type: text/plain; charset=windows-1252", "€ é".encode("cp1252")),
                    ('Content-Disposition: form-data; name="File1"; filename="r.zip"\r\n'
                     "Content-Type: application/zip", SAMPLE))
        status, answer, _ = post(peer.url + "/api.asp", body)
        expect(ET.fromstring(answer).find("case").get("ixBug") == "7", f"case {answer!r}")
        case, = peer.cases.items()
        expect((case["fields"]["sTitle"], case["fields"]["sEvent"]) == ("a < b é", "€ é"),
               f"fields {case['fields']}")
        expect(case["files"] == [("File1", "r.zip", SAMPLE, "application/zip")], "files")
        status, answer, _ = post(peer.url + "/api.asp", body[:-40])
        expect(ET.fromstring(answer).find("error") is not None, "a cut form is refused")
        expect(get("/api.asp?cmd=logoff&token=" + quoted).find("error") is None, "logoff")
        expect([r.kind for r in peer.refusals.items()] == ["login", "form"],
               f"refusals {peer.refusals.items()}")


# Hostile

def hostile(kind, protocol, client, ended_by):
    with peers.HostilePeer(kind, protocol) as peer:
        started = time.monotonic()
        error = client(peer)
        spent = time.monotonic() - started
        connection, = peer.wait_closed(1, 10)
        expect(connection.ended_by == ended_by,
               f"{kind}/{protocol}: ended by {connection.ended_by}, not {ended_by}")
        expect(spent < 5, f"{kind}/{protocol}: the client took {spent:.1f} s")
        return error


def smtp_client(peer, tls=False):
    def connect():
        client = (smtplib.SMTP_SSL(peer.address, peer.port, timeout=1, context=unverified())
                  if tls else smtplib.SMTP(peer.address, peer.port, timeout=1))
        try:
            client.ehlo()
            client.starttls(context=unverified())
        finally:
            client.close()
    return raises((smtplib.SMTPException, OSError), connect)


def http_client(peer, tls=False):
    def fetch():
        connection = (http.client.HTTPSConnection(peer.address, peer.port, timeout=1,
                                                  context=unverified())
                      if tls else http.client.HTTPConnection(peer.address, peer.port, timeout=1))
        try:
            connection.request("POST", "/up/", b"x" * 1000)
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()
    try:
        return fetch()
    except (http.client.HTTPException, OSError, ValueError) as e:
        return e


def raw_client(peer, limit=1 << 20):
    """Reads up to `limit` bytes, or until a one-second silence, and goes."""
    with socket.create_connection((peer.address, peer.port), 5) as s:
        s.settimeout(1)
        got = 0
        try:
            while got < limit:
                data = s.recv(65536)
                if not data:
                    return got, "closed"
                got += len(data)
        except socket.timeout:
            return got, "silence"
        return got, "limit"


def hostile_smtp():
    expect(hostile("close", "smtp", raw_client, "peer") == (0, "closed"), "closed at once")
    error = hostile("close-after-greeting", "smtp", smtp_client, "peer")
    expect(isinstance(error, smtplib.SMTPServerDisconnected), f"{error!r}")
    error = hostile("error", "smtp", smtp_client, "client")
    expect(isinstance(error, smtplib.SMTPConnectError) and error.smtp_code == 554, f"{error!r}")
    error = hostile("huge", "smtp", smtp_client, "client")
    expect(isinstance(error, smtplib.SMTPResponseException) and
           "too long" in str(error), f"{error!r}")
    expect(hostile("endless", "smtp", raw_client, "client")[1] == "limit", "endless lines")
    expect(hostile("silent", "smtp", raw_client, "client") == (0, "silence"), "silent")
    error = hostile("malformed", "smtp", smtp_client, "client")
    expect(isinstance(error, smtplib.SMTPConnectError) and b"there" in error.smtp_error,
           f"{error!r}")
    error = hostile("garbage-tls", "smtp", smtp_client, "client")
    expect(isinstance(error, ssl.SSLError), f"STARTTLS into noise: {error!r}")
    error = hostile("garbage-tls", "smtps", lambda p: smtp_client(p, tls=True), "client")
    expect(isinstance(error, ssl.SSLError), f"implicit TLS into noise: {error!r}")


def hostile_http():
    for kind in ("close", "close-after-greeting"):  # while sending or waiting
        error = hostile(kind, "http", http_client, "peer")
        expect(isinstance(error, (http.client.RemoteDisconnected, ConnectionError)),
               f"{kind}: {error!r}")
    expect(hostile("error", "http", http_client, "peer") == (500, b"internal error"), "500")
    error = hostile("huge", "http", http_client, "client")
    expect(isinstance(error, http.client.LineTooLong), f"{error!r}")
    error = hostile("endless", "http", http_client, "client")
    expect(isinstance(error, http.client.HTTPException) and "headers" in str(error), f"{error!r}")
    error = hostile("silent", "http", http_client, "client")
    expect(isinstance(error, socket.timeout), f"{error!r}")
    error = hostile("malformed", "http", http_client, "client")
    expect(isinstance(error, http.client.BadStatusLine), f"{error!r}")
    error = hostile("bad-chunk", "http", http_client, "client")
    expect(isinstance(error, (ValueError, http.client.IncompleteRead)), f"{error!r}")
    error = hostile("garbage-tls", "https", lambda p: http_client(p, tls=True), "client")
    expect(isinstance(error, ssl.SSLError), f"{error!r}")


def hostile_stop():
    """A client that neither reads nor leaves: stop() still ends it."""
    peer = peers.HostilePeer("endless", "http").start()
    with socket.create_connection((peer.address, peer.port), 5) as s:
        s.sendall(b"GET / HTTP/1.1\r\n\r\n")
        time.sleep(0.3)
        started = time.monotonic()
        peer.stop()
        expect(time.monotonic() - started < 2, "stop does not wait for the client")
        expect([c.ended_by for c in peer.connections] == ["stop"], f"{peer.connections}")


CHECKS = [smtp_starttls_login, smtp_implicit_ssl_and_wrong_password, smtp_offers,
          dns_answers, dns_hostile, upload_form, upload_auth_redirect_https, bugzilla, mantis,
          fogbugz, hostile_smtp, hostile_http, hostile_stop]


def main():
    for check in CHECKS:
        started = time.monotonic()
        try:
            check()
            print(f"ok    {check.__name__} ({time.monotonic() - started:.1f} s)", flush=True)
        except Exception:
            FAILURES.append(check.__name__)
            print(f"FAIL  {check.__name__}\n{traceback.format_exc()}", flush=True)
    deadline = time.monotonic() + 3
    while threading.active_count() > 1 and time.monotonic() < deadline:
        time.sleep(0.05)
    left = [t.name for t in threading.enumerate() if t is not threading.main_thread()]
    if left:
        FAILURES.append("threads")
        print(f"FAIL  threads left running: {left}", flush=True)
    print("FAILED: " + ", ".join(FAILURES) if FAILURES else "all passed", flush=True)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
