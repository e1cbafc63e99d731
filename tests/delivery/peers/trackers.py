"""Stand-ins for the three bug trackers the reports go to: Bugzilla over
XML-RPC, MantisConnect over SOAP and the FogBugz API. They answer what the
client asks, as the real ones would, and keep what it created; every
refused request (not well-formed XML, an unreadable form, a wrong log-in)
is kept in .refusals, so a test can tell a client fault from a peer's."""

import base64
import dataclasses
import urllib.parse
import xml.etree.ElementTree as ET
import xml.parsers.expat
import xmlrpc.client
from xml.sax.saxutils import escape

from .http import HttpPeer, read_form
from .serving import Received


@dataclasses.dataclass
class Refusal:
    kind: str     # "xml" (not well-formed), "form", "login" or "request"
    detail: str
    body: bytes


class _Refused(Exception):
    def __init__(self, kind, detail):
        super().__init__(detail)
        self.kind = kind


class TrackerPeer(HttpPeer):
    """account=(login, password) the tracker accepts, None for any or none;
    prefix: where it is installed ("" or e.g. "/bugs"). .calls keeps
    (method, params) of every readable call, .refusals every refusal."""

    def __init__(self, account=("reporter", "secret"), prefix="", **options):
        super().__init__(**options)
        self.account = None if account is None else tuple(account)
        self.prefix = prefix.rstrip("/")
        self.calls = Received()
        self.refusals = Received()

    def _check_login(self, login, password):
        if self.account is not None and (login, password) != self.account:
            raise _Refused("login", f"wrong log-in {login!r}")

    def _refuse(self, error, body):
        self.refusals.add(Refusal(error.kind, str(error), body))


class BugzillaPeer(TrackerPeer):
    """XML-RPC at <prefix>/xmlrpc.cgi. Products: Pelmora (components UI and
    Crashes, versions 1.0 and 1.1) and Other. .bugs keeps the params of each
    Bug.create (without the log-in), .attachments those of each
    Bug.add_attachment, "data" as bytes. A refusal is answered with a fault."""

    PRODUCTS = [
        {"id": 1, "name": "Other", "components": [{"name": "General"}],
         "versions": [{"name": "9"}]},
        {"id": 2, "name": "Pelmora", "components": [{"name": "UI"}, {"name": "Crashes"}],
         "versions": [{"name": "1.0"}, {"name": "1.1"}]}]

    def __init__(self, bug_id=42, **options):
        super().__init__(**options)
        self.bug_id = bug_id
        self.bugs = Received()
        self.attachments = Received()

    def respond(self, request):
        if request.method != "POST" or request.path != self.prefix + "/xmlrpc.cgi":
            return 404, b"no such page", "text/plain", []
        try:
            try:
                params, method = xmlrpc.client.loads(request.body, use_builtin_types=True)
            except (xml.parsers.expat.ExpatError, ValueError, TypeError) as e:
                raise _Refused("xml", f"not a well-formed call: {e}")
            params = params[0] if params else {}
            self.calls.add((method, params))
            answer = xmlrpc.client.dumps((self._call(method, params),), methodresponse=True,
                                         allow_none=True)
        except _Refused as e:
            self._refuse(e, request.body)
            code = {"xml": -32700, "login": 300}.get(e.kind, 32000)
            answer = xmlrpc.client.dumps(xmlrpc.client.Fault(code, str(e)), methodresponse=True)
        return 200, answer, "text/xml", []

    def _call(self, method, params):
        if not isinstance(params, dict):
            raise _Refused("request", f"{method} without a struct")
        login = (params.get("Bugzilla_login"), params.get("Bugzilla_password"))
        if method != "Bugzilla.version" or login != (None, None):
            self._check_login(*login)
        given = {k: v for k, v in params.items() if not k.startswith("Bugzilla_")}
        if method == "Bugzilla.version":
            return {"version": "5.0.4"}
        if method == "Product.get_enterable_products":
            return {"ids": [p["id"] for p in self.PRODUCTS]}
        if method == "Product.get":
            return {"products": [p for p in self.PRODUCTS if p["id"] in params.get("ids", [])]}
        if method == "Bug.fields":
            def values(*names):
                return [{"name": n} for n in names]
            return {"fields": [
                {"name": "priority", "values": values("P1", "P2")},
                {"name": "bug_severity", "values": values("critical", "normal")},
                {"name": "op_sys", "values": values("Linux", "Windows", "Other")},
                {"name": "rep_platform", "values": values("PC", "Macintosh")}]}
        if method == "Bug.create":
            product = next((p for p in self.PRODUCTS if p["name"] == given.get("product")), None)
            if product is None or {"name": given.get("component")} not in product["components"] \
                    or {"name": given.get("version")} not in product["versions"]:
                raise _Refused("request", "no such product, component or version")
            self.bugs.add(given)
            return {"id": self.bug_id}
        if method == "Bug.add_attachment":
            if self.bug_id not in given.get("ids", []) or not isinstance(given.get("data"), bytes):
                raise _Refused("request", "an attachment for another bug or without data")
            self.attachments.add(given)
            return {"ids": [len(self.attachments.items())]}
        raise _Refused("request", f"no method {method}")


def _local(tag):
    return tag.rsplit("}", 1)[-1]


def _items(*objects):
    return "".join(f"<item>{o}</item>" for o in objects)


def _ref(id, name):
    return f"<id>{id}</id><name>{escape(name)}</name>"


def _soap(content):
    return ('<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope '
            'xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"><SOAP-ENV:Body>'
            f"{content}</SOAP-ENV:Body></SOAP-ENV:Envelope>")


class MantisPeer(TrackerPeer):
    """MantisConnect: POST <prefix>/api/soap/mantisconnect.php/<method>, read
    with ElementTree (references by href followed). Project Pelmora (id 1,
    with subproject Plugins, 3), categories General and Crashes, version
    1.1, user Ann Lee (7). .issues keeps each mc_issue_add's issue as a
    dict (an element with children becomes a dict, a list of <item> a list,
    a leaf its text); .attachments each mc_issue_attachment_add's params
    with "content" decoded to bytes. A refusal is a SOAP fault with 500."""

    PATH = "/api/soap/mantisconnect.php/"

    def __init__(self, issue_id=77, **options):
        super().__init__(**options)
        self.issue_id = issue_id
        self.issues = Received()
        self.attachments = Received()

    def respond(self, request):
        base = self.prefix + self.PATH
        if request.method != "POST" or not request.path.startswith(base):
            return 404, b"no such page", "text/plain", []
        method = request.path[len(base):]
        try:
            params = self._read(method, request.body)
            self.calls.add((method, params))
            if method != "mc_version":
                self._check_login(params.get("username"), params.get("password"))
            result = self._call(method, params)
            return 200, _soap(f'<ns1:{method}Response xmlns:ns1="urn:m"><return>{result}'
                              f'</return></ns1:{method}Response>'), "text/xml; charset=utf-8", []
        except _Refused as e:
            self._refuse(e, request.body)
            return 500, _soap("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode>"
                              f"<faultstring>{escape(str(e))}</faultstring></SOAP-ENV:Fault>"), \
                "text/xml; charset=utf-8", []

    def _read(self, method, body):
        try:
            root = ET.fromstring(body)
        except ET.ParseError as e:
            raise _Refused("xml", f"not well-formed: {e}")
        soap_body = next((e for e in root if _local(e.tag) == "Body"), None)
        if soap_body is None or len(soap_body) == 0 or _local(soap_body[0].tag) != method:
            raise _Refused("request", f"the envelope does not call {method}")
        by_id = {e.get("id"): e for e in soap_body.iter() if e.get("id") is not None}

        def value(element, depth=0):
            href = element.get("href")
            if href and href[1:] in by_id and depth < 20:
                return value(by_id[href[1:]], depth + 1)
            children = list(element)
            if not children:
                return element.text or ""
            if all(_local(c.tag) == "item" for c in children):
                return [value(c, depth + 1) for c in children]
            return {_local(c.tag): value(c, depth + 1) for c in children}

        return {_local(e.tag): value(e) for e in soap_body[0]}

    def _call(self, method, params):
        if method == "mc_version":
            return "1.2.19"
        if method == "mc_projects_get_user_accessible":
            return _items(_ref(1, "Pelmora") + "<subprojects>" + _items(_ref(3, "Plugins")) +
                          "</subprojects>")
        if method == "mc_enum_access_levels":
            return _items(_ref(10, "viewer"), _ref(55, "developer"))
        if method == "mc_project_get_categories":
            return _items("General", "Crashes")
        if method == "mc_project_get_versions":
            return _items("<name>1.1</name>")
        if method == "mc_project_get_users":
            return _items(_ref(7, "Ann Lee"))
        if method == "mc_enum_priorities":
            return _items(_ref(20, "low"), _ref(30, "normal"))
        if method == "mc_enum_severities":
            return _items(_ref(70, "crash"))
        if method == "mc_issue_add":
            if not isinstance(params.get("issue"), dict):
                raise _Refused("request", "mc_issue_add without an issue")
            self.issues.add(params["issue"])
            return str(self.issue_id)
        if method == "mc_issue_attachment_add":
            if params.get("issue_id") != str(self.issue_id):
                raise _Refused("request", f"an attachment for issue {params.get('issue_id')!r}")
            try:
                text = "".join(params.get("content", "").split())
                content = base64.b64decode(text, validate=True)
            except ValueError as e:
                raise _Refused("request", f"content is not Base64: {e}")
            self.attachments.add(dict(params, content=content))
            return str(len(self.attachments.items()))
        raise _Refused("request", f"no method {method}")


class FogBugzPeer(TrackerPeer):
    """GET <prefix>/api.xml, then <prefix>/api.asp: GET with cmd=logon
    (email, password; the token holds "&" and "<"), listProjects, listAreas,
    listCategories, listPriorities, listPeople, logoff; POST (multipart or
    urlencoded) with cmd=new, answered <case ixBug="<case_id>">. .cases keeps
    each new case as {"fields": {name: text, decoded by the part's charset,
    else UTF-8}, "files": [(field, file name, bytes, content type)]}. A
    refusal is answered with an <error> element."""

    TOKEN = "tok&42 <x>"
    LISTS = {
        "listProjects": "<projects><project><ixProject>1</ixProject><sProject>Inbox</sProject>"
                        "</project><project><ixProject>2</ixProject>"
                        "<sProject><![CDATA[Pelmora]]></sProject></project></projects>",
        "listAreas": "<areas><area><sArea>Misc</sArea><sProject>Inbox</sProject></area><area>"
                     "<sArea>Crashes</sArea><sProject>Pelmora</sProject></area></areas>",
        "listCategories": "<categories><category><sCategory>Bug</sCategory></category>"
                          "</categories>",
        "listPriorities": "<priorities><priority><sPriority>Fix</sPriority></priority>"
                          "</priorities>",
        "listPeople": "<people><person><sFullName>Ann Lee</sFullName></person></people>",
    }

    def __init__(self, case_id=7, **options):
        super().__init__(**options)
        self.case_id = case_id
        self.cases = Received()

    def respond(self, request):
        def xml(content):
            return 200, f'<?xml version="1.0" encoding="UTF-8"?><response>{content}</response>', \
                "text/xml; charset=utf-8", []
        if request.path == self.prefix + "/api.xml":
            return xml("<version>8</version><minversion>1</minversion><url>api.asp?</url>")
        if request.path != self.prefix + "/api.asp":
            return 404, b"no such page", "text/plain", []
        try:
            fields, files = self._arguments(request)
            self.calls.add((fields.get("cmd"), fields))
            return xml(self._command(fields, files))
        except _Refused as e:
            self._refuse(e, request.body)
            return xml(f'<error code="1">{escape(str(e))}</error>')

    def _arguments(self, request):
        if request.method == "GET":
            return dict(urllib.parse.parse_qsl(request.query, keep_blank_values=True)), []
        content_type = request.headers.get("Content-Type", "")
        try:
            if content_type.startswith("multipart/form-data"):
                parts = read_form(content_type, request.body)
                fields = {p.name: p.data.decode(p.charset or "utf-8")
                          for p in parts if p.filename is None}
                return fields, [(p.name, p.filename, p.data, p.content_type)
                                for p in parts if p.filename is not None]
            return dict(urllib.parse.parse_qsl(request.body.decode("utf-8"),
                                               keep_blank_values=True, strict_parsing=True)), []
        except (ValueError, UnicodeError, LookupError) as e:
            raise _Refused("form", f"unreadable form: {e}")

    def _command(self, fields, files):
        cmd = fields.get("cmd")
        if cmd == "logon":
            self._check_login(fields.get("email"), fields.get("password"))
            return f"<token><![CDATA[{self.TOKEN}]]></token>"
        if fields.get("token") != self.TOKEN:
            raise _Refused("login", f"not logged on: {fields.get('token')!r}")
        if cmd == "logoff":
            return ""
        if cmd in self.LISTS:
            return self.LISTS[cmd]
        if cmd == "new":
            self.cases.add({"fields": fields, "files": files})
            return f'<case ixBug="{self.case_id}"></case>'
        raise _Refused("request", f"unknown command {cmd!r}")
