#!/usr/bin/env python3
"""The batch as a user would script it in Python: one bytearray holding
the image, the records written into it, one write per device file.

    peer_writer.py IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE
"""
import sys

MAC_BLOCK = 0x10000


def main():
    image_path, out_dir, start, count, per_device = sys.argv[1:6]
    count, per_device = int(count), int(per_device)
    mac = int(start.replace(":", ""), 16)
    with open(image_path, "rb") as image_file:
        image = bytearray(image_file.read())
    at = len(image) - MAC_BLOCK
    for _ in range(count):
        first = mac
        for j in range(per_device):
            image[at + 6 * j:at + 6 * j + 6] = mac.to_bytes(6, "big")
            mac = (mac + 1) & 0xFFFFFFFFFFFF
        name = "%s/fw_%06x_%06x.img" % (out_dir, first >> 24, first & 0xFFFFFF)
        with open(name, "wb") as out:
            out.write(image)


if __name__ == "__main__":
    main()
