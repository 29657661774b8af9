#!/usr/bin/env python3
"""Writes the application icon: one 32 x 32, 16-colour image of a plain window
with a blue title bar, a grey frame and a white client area; with --png SIZE,
the same pixels as a PNG of SIZE x SIZE (a multiple of 32) for desktop menus."""
import struct
import sys
import zlib

# The standard 16-colour palette, as (blue, green, red, 0) quads.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]  # red, green, blue
BLACK, NAVY, DARK_GREY, GREY, WHITE = 0, 4, 8, 7, 15
SIZE = 32

# The window occupies rows 3..28 and columns 1..30; everything else is transparent.
LEFT, TOP, RIGHT, BOTTOM = 1, 3, 30, 28
TITLE_TOP, TITLE_BOTTOM = 5, 9


def pixel(x, y):
    """Colour index at (x, y) from the top-left, or None where transparent."""
    if not (LEFT <= x <= RIGHT and TOP <= y <= BOTTOM):
        return None
    if x in (LEFT, RIGHT) or y in (TOP, BOTTOM):
        return DARK_GREY if x == RIGHT or y == BOTTOM else GREY
    if x in (LEFT + 1, RIGHT - 1) or y in (TOP + 1, BOTTOM - 1):
        return GREY
    if TITLE_TOP <= y <= TITLE_BOTTOM:
        # Three caption buttons at the right end of the title bar.
        for right in (RIGHT - 3, RIGHT - 8, RIGHT - 13):
            if right - 3 <= x <= right and TITLE_TOP + 1 <= y <= TITLE_BOTTOM - 1:
                return GREY
        return NAVY
    if y == TITLE_BOTTOM + 1:
        return GREY
    if x == LEFT + 2 or y == TITLE_BOTTOM + 2:
        return DARK_GREY  # the client area's sunken edge
    return WHITE


def icon_bytes():
    xor_rows, and_rows = [], []
    for y in range(SIZE - 1, -1, -1):  # bottom-up, as bitmaps are stored
        nibbles = [pixel(x, y) for x in range(SIZE)]
        xor_rows.append(bytes(((a or 0) << 4) | (b or 0) for a, b in zip(nibbles[0::2], nibbles[1::2])))
        mask = 0
        for x, colour in enumerate(nibbles):
            if colour is None:
                mask |= 1 << (SIZE - 1 - x)
        and_rows.append(struct.pack(">I", mask))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 0, 0, 0, 16, 0)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(size):
    """The icon's pixels as an 8-bit RGBA PNG, each pixel drawn as a square of size / 32."""
    scale = size // SIZE
    rows = []
    for y in range(size):
        row = bytearray(b"\0")  # filter type 0 for every row
        for x in range(size):
            colour = pixel(x // scale, y // scale)
            row += bytes(PALETTE[colour]) + b"\xff" if colour is not None else b"\0\0\0\0"
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--png" and int(sys.argv[2]) % SIZE == 0:
        data = png_bytes(int(sys.argv[2]))
    elif len(sys.argv) == 2:
        data = icon_bytes()
    else:
        sys.exit("usage: make_icon.py OUTPUT.ico | make_icon.py --png SIZE OUTPUT.png")
    with open(sys.argv[-1], "wb") as out:
        out.write(data)
