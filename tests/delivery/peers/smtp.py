"""An SMTP server on aiosmtpd that keeps every message it accepts and
every log-in attempt, for the delivery tests."""

import dataclasses
import logging
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

from . import certs
from .serving import Received

# aiosmtpd warns about AUTH without TLS, which these tests allow on purpose.
logging.getLogger("mail.log").setLevel(logging.ERROR)
warnings.filterwarnings("ignore", "Requiring AUTH while not requiring TLS")

MECHANISMS = ("LOGIN", "PLAIN")


@dataclasses.dataclass
class SmtpMessage:
    sender: str            # MAIL FROM, without the angle brackets
    recipients: list       # RCPT TO addresses, in order
    data: bytes            # after DATA, dot-unstuffed, without the final ".\r\n"
    tls: bool              # the session was encrypted (STARTTLS or implicit)
    login: str | None      # the account the session logged in with
    mail_options: list     # MAIL FROM parameters (e.g. BODY=8BITMIME)


@dataclasses.dataclass
class AuthAttempt:
    mechanism: str
    login: str
    password: str
    tls: bool
    accepted: bool


class _Controller(Controller):
    """Binds port 0 and learns the port before aiosmtpd's start-up check."""

    def _trigger_server(self):
        self.port = self.server.sockets[0].getsockname()[1]
        super()._trigger_server()


class SmtpPeer:
    """tls: STARTTLS with the run's self-signed certificate (offered in EHLO
    only with starttls_offered). ssl: TLS from the first byte. auth: (user,
    password) accepted by AUTH, with or without TLS; require_auth: MAIL is
    refused with 530 before a log-in. mechanisms: the AUTH mechanisms offered,
    of LOGIN and PLAIN. Without auth, AUTH is not offered before TLS and
    always fails after it."""

    def __init__(self, tls=False, ssl=False, auth=None, require_auth=False,
                 starttls_offered=True, mechanisms=("LOGIN",), address="127.0.0.1",
                 port=0, certificate=None, hostname="peer.pelmora.test"):
        unknown = set(mechanisms) - set(MECHANISMS)
        if unknown:
            raise ValueError(f"unsupported mechanisms {sorted(unknown)}")
        self.received = Received()
        self.attempts = Received()
        context = certs.server_context(certificate) if tls or ssl else None
        handler = _Handler(auth, ssl, self.received, self.attempts)
        options = dict(hostname=address, port=port, server_hostname=hostname,
                       auth_require_tls=auth is None, auth_required=require_auth,
                       authenticator=handler.authenticate,
                       auth_exclude_mechanism=[m for m in MECHANISMS if m not in mechanisms],
                       data_size_limit=None)
        if ssl:
            options["ssl_context"] = context
        elif tls and starttls_offered:
            options["tls_context"] = context
        self._controller = _Controller(handler, **options)
        self._running = False

    @property
    def address(self):
        return self._controller.hostname

    @property
    def port(self):
        return self._controller.port

    @property
    def messages(self):
        return self.received.items()

    @property
    def auth_attempts(self):
        return self.attempts.items()

    def wait_for(self, count, timeout=10):
        """The first `count` messages, once they arrived; else TimeoutError."""
        return self.received.wait_for(count, timeout, "messages")

    def start(self):
        self._controller.start()
        self._running = True
        return self

    def stop(self):
        if self._running:
            self._controller.stop()
            self._running = False

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class _Handler:
    """aiosmtpd's handler: keeps messages and log-in attempts."""

    def __init__(self, account, implicit_tls, messages, attempts):
        self.account = account
        self.implicit_tls = implicit_tls
        self.messages = messages
        self.attempts = attempts

    def _tls(self, session):
        return self.implicit_tls or session.ssl is not None

    def authenticate(self, server, session, envelope, mechanism, data):
        login = data.login.decode("utf-8", "replace")
        password = data.password.decode("utf-8", "replace")
        accepted = self.account is not None and (login, password) == tuple(self.account)
        self.attempts.add(AuthAttempt(mechanism, login, password, self._tls(session), accepted))
        return AuthResult(success=accepted, handled=False,
                          auth_data=LoginPassword(data.login, data.password))

    async def handle_DATA(self, server, session, envelope):
        login = session.auth_data.login.decode("utf-8", "replace") \
            if session.authenticated else None
        self.messages.add(SmtpMessage(envelope.mail_from, list(envelope.rcpt_tos),
                                      envelope.original_content, self._tls(session), login,
                                      list(envelope.mail_options)))
        return "250 Message accepted for delivery"
