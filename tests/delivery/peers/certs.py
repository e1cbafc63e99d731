"""Self-signed certificates for the TLS peers, made with openssl."""

import functools
import os
import ssl
import subprocess
import tempfile


def make_self_signed(directory, name="localhost"):
    """Writes <name>.crt and <name>.key (RSA 2048, valid two days, for the
    name and 127.0.0.1) into directory; returns (certificate path, key path)."""
    cert = os.path.join(directory, f"{name}.crt")
    key = os.path.join(directory, f"{name}.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
                    "-days", "2", "-subj", f"/CN={name}",
                    "-addext", f"subjectAltName=DNS:{name},IP:127.0.0.1",
                    "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return cert, key


@functools.cache
def run_certificate():
    """One certificate for the whole run, in a directory removed at exit."""
    directory = tempfile.TemporaryDirectory(prefix="peers-cert-")
    cert, key = make_self_signed(directory.name)
    run_certificate.directory = directory  # lives as long as the cache does
    return cert, key


def server_context(certificate=None):
    """A server-side SSLContext for (certificate path, key path), by default
    the run's certificate."""
    cert, key = certificate or run_certificate()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context
