#!/usr/bin/env python3
"""Reads a request body from standard input with Python's own XML readers
and prints what it holds, one "name=hex of the UTF-8 value" line each, so a
test can compare values byte for byte.

Usage: xml_roundtrip.py xmlrpc|soap
  xmlrpc: xmlrpc.client.loads; the method, then each member of the struct
          (arrays as their items joined by ",", base64 as its bytes).
  soap:   xml.etree; every element without children, by its local name.
"""

import sys

try:
    import xmlrpc.client
    import xml.etree.ElementTree as ET
except ImportError as e:
    print(f"missing {e.name}")
    sys.exit(77)


def text(value):
    if isinstance(value, xmlrpc.client.Binary):
        return value.data
    if isinstance(value, list):
        return ",".join(str(v) for v in value).encode()
    return str(value).encode("utf-8")


def main():
    body = sys.stdin.buffer.read()
    if sys.argv[1] == "xmlrpc":
        params, method = xmlrpc.client.loads(body)
        print(f"method={method.encode().hex()}")
        for name, value in params[0].items():
            print(f"{name}={text(value).hex()}")
    else:
        root = ET.fromstring(body)
        for element in root.iter():
            if len(element) == 0:
                name = element.tag.rsplit("}", 1)[-1]
                print(f"{name}={(element.text or '').encode('utf-8').hex()}")


if __name__ == "__main__":
    main()
