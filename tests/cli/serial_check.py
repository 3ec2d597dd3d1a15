#!/usr/bin/python3
"""Checks serials' check characters with python3-stdnum, independently of
Quillmark: each serial must be valid, and each serial with any one
character changed to another of its alphabet must not.

Usage: serial_check.py KIND SERIAL [KIND SERIAL ...], KIND one of luhn,
mod11-10, mod37-36. Prints one line per fault; exit status 1 if any."""
import string
import sys

from stdnum import luhn
from stdnum.iso7064 import mod_11_10, mod_37_36

CHECKERS = {
    "luhn": (luhn.is_valid, string.digits),
    "mod11-10": (mod_11_10.is_valid, string.digits),
    "mod37-36": (mod_37_36.is_valid, string.digits + string.ascii_uppercase),
}


def faults(kind, serial):
    is_valid, alphabet = CHECKERS[kind]
    if not is_valid(serial):
        yield f"{kind}: {serial} is refused"
    for i, original in enumerate(serial):
        for other in alphabet:
            changed = serial[:i] + other + serial[i + 1:]
            if other != original and is_valid(changed):
                yield f"{kind}: {changed} (from {serial}) is accepted"


def main(args):
    if not args or len(args) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    found = [f for kind, serial in zip(args[::2], args[1::2]) for f in faults(kind, serial)]
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
