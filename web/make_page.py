#!/usr/bin/env python3
"""Writes tessel.html: the page with its style, script, icon and WebAssembly module inline, so that it
needs no other file and makes no request. With --frame, also the page that draws only the window frame; with
--keys, also tessel-keys.html, the page of an exercise's listing and key over the same module."""
import argparse
import base64
import os
import re
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "resources"))
import make_icon  # noqa: E402  the Windows program's icon, pixel for pixel

BUDGET = 24576


def icon_png():
    """The application icon as a palette PNG; index 16 is the transparent colour."""
    palette = b"".join(bytes(rgb) for rgb in make_icon.PALETTE) + b"\0\0\0"
    transparency = b"\xff" * 16 + b"\0"
    rows = b""
    for y in range(make_icon.SIZE):
        colours = (make_icon.pixel(x, y) for x in range(make_icon.SIZE))
        rows += b"\0" + bytes(16 if c is None else c for c in colours)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", make_icon.SIZE, make_icon.SIZE, 8, 3, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) + chunk(b"tRNS", transparency)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def read(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        return f.read()


def compact_script(text):
    """Drops comment lines, indentation and blank lines; the scripts keep no code after a // on a line."""
    lines = (line.strip() for line in text.splitlines())
    return "\n".join(line for line in lines if line and not line.startswith("//"))


def compact_style(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return "\n".join(line.strip() for line in text.splitlines() if line.strip())


def page(script, icon, module=b"", template="page.html", style="page.css"):
    html = read(template)
    html = html[html.index("-->") + 4:] if html.startswith("<!--") else html  # the template's own note
    script = compact_script(script).replace("@MODULE@", base64.b64encode(module).decode("ascii"))
    # Inserted last, so that no text of the script or style is taken for a placeholder.
    return (html.replace("@ICON@", icon).replace("@CSS@", compact_style(read(style)))
            .replace("@JS@", script.replace("</", "<\\/")))


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return os.path.getsize(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("module", help="the WebAssembly module")
    parser.add_argument("output", help="the page to write")
    parser.add_argument("--frame", help="also write the frame-only page here")
    parser.add_argument("--keys", help="also write the keys page here")
    args = parser.parse_args()

    icon = "data:image/png;base64," + base64.b64encode(icon_png()).decode("ascii")
    with open(args.module, "rb") as f:
        module = f.read()
    size = write(args.output, page(read("page.js"), icon, module))
    verdict = "within budget" if size <= BUDGET else "OVER BUDGET"
    print(f"{args.output}: {size} bytes (module {len(module)} bytes); budget {BUDGET} bytes: {verdict}")
    if args.frame:
        write(args.frame, page(read("frame.js"), icon))
    if args.keys:
        keys = write(args.keys, page(read("keys.js"), icon, module, "keys.html", "keys.css"))
        print(f"{args.keys}: {keys} bytes")
    return 0 if size <= BUDGET else 1


if __name__ == "__main__":
    sys.exit(main())
