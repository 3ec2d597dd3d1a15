#!/usr/bin/env python3
"""Writes an image the tool accepts: random bytes (so nothing can be
skipped as zeros) with the signature bytes set and no build text.

    make_fixture.py PATH SIZE_MIB
"""
import os
import sys


def main():
    path, mib = sys.argv[1], int(sys.argv[2])
    image = bytearray(os.urandom(mib << 20))
    image[0x1C000:0x1C002] = b"\xD3\x57"
    image[0x1C060] = 0
    image[0x20000:0x20004] = b"\x53\x70\xEB\x67"
    image[0x20183] = ord("x")
    with open(path, "wb") as out:
        out.write(image)


if __name__ == "__main__":
    main()
