#!/usr/bin/env python3
"""A MantisConnect stand-in on http.server: every SOAP request under
/mantis/api/soap/mantisconnect.php/ is read with xml.etree (so it must be
XML with every prefix declared), log-ins are checked, and the new issue's
fields (references followed) and attachments must equal the test's
expectations, or the answer is a SOAP fault with status 500 saying what
differs. GET /received tells what arrived.

Usage: mantis_peer.py expected.json
  expected: {"login": hex, "password": hex, "summary": hex, "description": hex,
             "files": [[file name, hex of the bytes]...]}
"""

import base64
import sys

from peer_common import QuietHandler, files_by_name, load_expected, logged_in, require, serve_http

require("xml.etree.ElementTree")
import xml.etree.ElementTree as ET

PREFIX = "/mantis/api/soap/mantisconnect.php/"
expected = load_expected(sys.argv[1])
received = {"issues": 0, "attachments": 0}


class Refused(Exception):
    pass


def local(tag):
    return tag.rsplit("}", 1)[-1]


def items(*objects):
    return "".join(f"<item>{o}</item>" for o in objects)


def ref(id, name):
    return f"<id>{id}</id><name>{name}</name>"


def call(method, body):
    root = ET.fromstring(body)
    soap_body = [e for e in root if local(e.tag) == "Body"][0]
    method_element = soap_body[0]
    if local(method_element.tag) != method:
        raise Refused(f"posted to {method} but calls {local(method_element.tag)}")
    params = {local(e.tag): e for e in method_element}
    by_id = {e.get("id"): e for e in soap_body.iter() if e.get("id") is not None}
    if method != "mc_version":
        user, password = params.get("username"), params.get("password")
        if user is None or password is None or not logged_in(expected, user.text, password.text):
            raise Refused("Access denied")
    return params, by_id


def follow(element, by_id):
    href = element.get("href")
    return by_id[href[1:]] if href else element


def answer(method, params, by_id):
    if method == "mc_version":
        return "1.2.19"
    if method == "mc_projects_get_user_accessible":
        return items(ref(1, "Pelmora") + "<subprojects>" + items(ref(3, "Plugins")) +
                     "</subprojects>")
    if method == "mc_enum_access_levels":
        return items(ref(10, "viewer"), ref(55, "developer"))
    if method == "mc_project_get_categories":
        return items("General", "Crashes")
    if method == "mc_project_get_versions":
        return items("<name>1.1</name>")
    if method == "mc_project_get_users":
        if params["access"].text != "55":
            raise Refused("users asked for without the developer level")
        return items(ref(7, "Ann Lee"))
    if method == "mc_enum_priorities":
        return items(ref(20, "low"), ref(30, "normal"))
    if method == "mc_enum_severities":
        return items(ref(70, "crash"))
    if method == "mc_issue_add":
        issue = {local(e.tag): follow(e, by_id) for e in follow(params["issue"], by_id)}
        for name in ("summary", "description"):
            if (issue[name].text or "").encode("utf-8") != expected[name]:
                raise Refused(f"{name} differs: {issue[name].text!r}")
        got = {"project": issue["project"].find("id").text, "handler": issue["handler"].find("id").text,
               "priority": issue["priority"].find("id").text,
               "severity": issue["severity"].find("id").text, "category": issue["category"].text,
               "version": issue["version"].text, "os": issue["os"].text}
        want = {"project": "1", "handler": "7", "priority": "30", "severity": "70",
                "category": "Crashes", "version": "1.1", "os": "Windows 10 x64"}
        if got != want:
            raise Refused(f"issue {got!r}")
        received["issues"] += 1
        return "77"
    if method == "mc_issue_attachment_add":
        files = files_by_name(expected)
        name = params["name"].text
        if params["issue_id"].text != "77" or name not in files or \
                base64.b64decode(params["content"].text or "") != files[name]:
            raise Refused(f"attachment {name!r} differs")
        received["attachments"] += 1
        return str(received["attachments"])
    raise Refused(f"no method {method}")


def envelope(content):
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
            "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
            f"{content}</SOAP-ENV:Body></SOAP-ENV:Envelope>")


class Handler(QuietHandler):
    def do_POST(self):
        body = self.body()
        method = self.path[len(PREFIX):] if self.path.startswith(PREFIX) else "?"
        try:
            params, by_id = call(method, body)
            result = answer(method, params, by_id)
            self.answer(200, envelope(f"<ns1:{method}Response xmlns:ns1=\"urn:m\"><return>"
                                      f"{result}</return></ns1:{method}Response>"))
        except Exception as e:  # a fault says why, whatever it was
            text = str(e).replace("&", "&amp;").replace("<", "&lt;")
            self.answer(500, envelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode>"
                                      f"<faultstring>{text}</faultstring></SOAP-ENV:Fault>"))

    def do_GET(self):
        self.answer(200, f"issues={received['issues']} attachments={received['attachments']}",
                    "text/plain")


serve_http(Handler)
