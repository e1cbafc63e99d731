#!/usr/bin/env python3
"""A real SMTP server for the delivery test: aiosmtpd on a free port of
127.0.0.1. Prints "PORT <n>"; writes the first message it accepts into
the file given (JSON: envelope sender, recipients, the content in Base64
as the server holds it after DATA), prints "MESSAGE" and ends; ends by
itself after 60 s. The message goes into a file, not the pipe, which the
client does not read while it waits for the server's reply.

Usage: smtp_peer.py FILE
"""

import base64
import json
import socket
import sys
import threading

from aiosmtpd.controller import Controller


class Keeper:
    def __init__(self, path):
        self.path = path
        self.done = threading.Event()

    async def handle_DATA(self, server, session, envelope):
        content = envelope.original_content or envelope.content
        with open(self.path, "w", encoding="utf-8") as f:
            json.dump({
                "from": envelope.mail_from,
                "to": envelope.rcpt_tos,
                "content": base64.b64encode(content).decode("ascii"),
            }, f)
        print("MESSAGE", flush=True)
        self.done.set()
        return "250 Message accepted for delivery"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    keeper = Keeper(sys.argv[1])
    controller = Controller(keeper, hostname="127.0.0.1", port=free_port())
    controller.start()
    print(f"PORT {controller.port}", flush=True)
    keeper.done.wait(60)
    # The client's QUIT still gets its answer.
    threading.Event().wait(0.5)
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
