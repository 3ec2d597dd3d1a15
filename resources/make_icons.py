#!/usr/bin/env python3
"""Draws the application icon in the 16 standard colours and writes it as
PNG files in the sizes of the desktop's icon theme (16 to 256 pixels) and as
a Windows icon (16 and 32 pixels, 4 bits per pixel). Run it from this folder after changing the picture; its
outputs are committed so a build needs no Python."""

import struct
import zlib

# The 16 colours every display can show, in the usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, LIME, YELLOW, WHITE, TEAL = 0, 4, 8, 7, 10, 11, 15, 6
TRANSPARENT = None


def in_box(x, y, left, top, right, bottom):
    return left <= x < right and top <= y < bottom


def quill(x, y):
    """A feather from the top right down to a nib over the device."""
    # Distance along and across the line from (0.92, 0.06) to (0.34, 0.58).
    ax, ay, bx, by = 0.92, 0.06, 0.34, 0.58
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = ((x - ax) * dx + (y - ay) * dy) / length2
    if t < 0 or t > 1:
        return TRANSPARENT
    across = abs((x - ax) * dy - (y - ay) * dx) / length2 ** 0.5
    if t > 0.82:
        return BLACK if across < 0.05 * (1 - t) / 0.18 + 0.02 else TRANSPARENT
    width = 0.17 * (1 - abs(t - 0.4) / 0.48)
    if across < 0.03:
        return GREY
    if across < width:
        return WHITE if across < width - 0.06 else TEAL
    return TRANSPARENT


def device(x, y):
    """A network device: a navy box with a row of ports and two lights."""
    if not in_box(x, y, 0.04, 0.50, 0.96, 0.94):
        return TRANSPARENT
    if not in_box(x, y, 0.10, 0.56, 0.90, 0.88):
        return BLACK
    for i in range(4):
        left = 0.16 + i * 0.18
        if in_box(x, y, left, 0.70, left + 0.12, 0.84):
            return YELLOW
    if in_box(x, y, 0.16, 0.59, 0.26, 0.66) or in_box(x, y, 0.34, 0.59, 0.44, 0.66):
        return LIME
    return NAVY


def colour_at(x, y):
    on_top = quill(x, y)
    return on_top if on_top is not TRANSPARENT else device(x, y)


def render(size):
    return [[colour_at((c + 0.5) / size, (r + 0.5) / size) for c in range(size)]
            for r in range(size)]


def png(pixels):
    size = len(pixels)
    raw = b""
    for row in pixels:
        raw += b"\0"
        for index in row:
            raw += bytes(PALETTE[index]) + b"\xff" if index is not None else b"\0\0\0\0"

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_image(pixels):
    """One 4-bit-per-pixel image of an icon: header, palette, colours
    bottom-up, then the transparency mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    xor = b""
    mask = b""
    for row in reversed(pixels):
        line = b""
        for c in range(0, size, 2):
            hi = row[c] or 0
            lo = row[c + 1] or 0
            line += bytes(((hi << 4) | lo,))
        xor += line + b"\0" * (-len(line) % 4)
        bits = 0
        line = b""
        for c, index in enumerate(row):
            bits = bits << 1 | (index is None)
            if c % 8 == 7:
                line += bytes((bits,))
                bits = 0
        mask += line + b"\0" * (-len(line) % 4)
    return header + palette + xor + mask


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for pixels in images:
        blob = ico_image(pixels)
        size = len(pixels)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset + len(data))
        data += blob
    return directory + entries + data


# The sizes a desktop's hicolor theme asks for; the dialog itself uses the
# three smallest.
PNG_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    for size in PNG_SIZES:
        with open(f"quillmark-{size}.png", "wb") as out:
            out.write(png(render(size)))
    with open("quillmark.ico", "wb") as out:
        out.write(ico([render(32), render(16)]))


if __name__ == "__main__":
    main()
