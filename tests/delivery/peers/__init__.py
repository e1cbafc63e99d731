"""Loopback peers for the delivery tests of the Windows programs, which run
under Wine and share the host's loopback: SMTP, DNS, HTTP upload, the three
bug trackers and a hostile server. Each runs in daemon threads, on
127.0.0.1 and a free port unless told otherwise, keeps what it received in
memory and stops with stop() or at the end of a with statement."""

from .certs import make_self_signed, run_certificate
from .dns import DnsPeer, DnsQuery
from .hostile import HostileConnection, HostilePeer
from .http import FormPart, HttpRequest, Upload, UploadPeer
from .smtp import AuthAttempt, SmtpMessage, SmtpPeer
from .trackers import BugzillaPeer, FogBugzPeer, MantisPeer, Refusal

__all__ = [
    "make_self_signed", "run_certificate", "DnsPeer", "DnsQuery", "HostileConnection",
    "HostilePeer", "FormPart", "HttpRequest", "Upload", "UploadPeer", "AuthAttempt",
    "SmtpMessage", "SmtpPeer", "BugzillaPeer", "FogBugzPeer", "MantisPeer", "Refusal",
]
