#!/usr/bin/env python3
"""Plays the servers for delivery_bench.exe: SMTP with and without
STARTTLS (aiosmtpd), the HTTP upload and a plain sink that only counts the
bytes; makes a 100 KB report and a 1920x1080 screenshot PNG, and runs the
program under Wine.

Usage: bench_delivery.py BIN_DIR WINE_RUN [RUNS]
"""

import os
import random
import socket
import subprocess
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "delivery"))
import peers  # noqa: E402
from PIL import Image, ImageDraw  # noqa: E402

BIN, WINE_RUN = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
RUNS = sys.argv[3] if len(sys.argv) > 3 else "5"
WORK = os.path.join(BIN, "delivery-bench")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_report(path):
    """About 100 KB of report-like lines."""
    rng = random.Random(7)
    lines = []
    while sum(len(line) + 2 for line in lines) < 100 * 1024:
        lines.append(f"{rng.randrange(1 << 32):08x} +{rng.randrange(4096):03x} pelmora.exe "
                     f"unit_{rng.randrange(90):02d} {rng.randrange(2000):5d} +{rng.randrange(99)} "
                     f"Function{rng.randrange(500)}")
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def make_screenshot(path):
    """A desktop-like 1920x1080 picture: windows, bars, text-like marks and
    a photograph, in 256 colours like the reporter's own screenshots."""
    rng = random.Random(11)
    image = Image.new("RGB", (1920, 1080), (58, 110, 165))
    draw = ImageDraw.Draw(image)
    for _ in range(12):
        x, y = rng.randrange(1600), rng.randrange(800)
        w, h = rng.randrange(300, 900), rng.randrange(200, 600)
        draw.rectangle([x, y, x + w, y + h], fill=(240, 240, 240), outline=(0, 0, 0))
        draw.rectangle([x, y, x + w, y + 24], fill=(0, 84, 166))
        for line in range(y + 32, y + h - 12, 16):
            words = x + 8
            while words < x + w - 60:
                length = rng.randrange(10, 60)
                draw.rectangle([words, line, words + length, line + 8],
                               fill=(rng.randrange(80), rng.randrange(80), rng.randrange(80)))
                words += length + 6
    draw.rectangle([0, 1040, 1920, 1080], fill=(32, 32, 32))
    # A photograph in one window: what keeps a real screenshot from
    # compressing to nothing.
    photo = Image.frombytes("RGB", (640, 400), rng.randbytes(640 * 400 * 3))
    image.paste(photo, (1200, 120))
    image.quantize(256).save(path, optimize=False)


def sink():
    """A server that reads everything, then answers "ok"."""
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(8)

    def serve():
        while True:
            try:
                client, _ = server.accept()
            except OSError:
                return
            with client:
                while client.recv(65536):
                    pass
                client.sendall(b"ok")

    threading.Thread(target=serve, daemon=True).start()
    return server


def main():
    os.makedirs(WORK, exist_ok=True)
    report, png = os.path.join(WORK, "bugreport.txt"), os.path.join(WORK, "screenshot.png")
    make_report(report)
    make_screenshot(png)
    plain = peers.SmtpPeer().start()
    tls = peers.SmtpPeer(tls=True).start()
    upload = peers.UploadPeer().start()
    counter = sink()
    args = [os.path.join(BIN, "delivery_bench.exe"), windows_path(report), windows_path(png),
            str(plain.port), str(tls.port), upload.url + "/upload.php",
            str(counter.getsockname()[1]), RUNS]
    done = subprocess.run(["bash", WINE_RUN] + args, capture_output=True, text=True, cwd=BIN)
    print(done.stdout, end="")
    counter.close()
    for p in (plain, tls, upload):
        p.stop()
    return done.returncode


if __name__ == "__main__":
    sys.exit(main())
