#!/usr/bin/env python3
"""Reads a file of JSON Lines strictly and prints each object's members
flat, one per line: "LINE<TAB>KEY<TAB>VALUE", VALUE as compact JSON in UTF-8 (control characters escaped).

Fails (exit 1, the reason on standard error) when the file is not UTF-8,
a line is not one JSON object, a key repeats, a number is not an integer
or the last line has no line end."""
import json
import sys


def reject_constant(name):
    raise ValueError("not JSON: " + name)


def unique_members(pairs):
    seen = {}
    for key, value in pairs:
        if key in seen:
            raise ValueError("key repeated: " + key)
        seen[key] = value
    return seen


def no_floats(text):
    raise ValueError("not an integer: " + text)


def main():
    data = open(sys.argv[1], "rb").read()
    try:
        text = data.decode("utf-8", errors="strict")
    except UnicodeDecodeError as error:
        sys.exit("not UTF-8: %s" % error)
    if text and not text.endswith("\n"):
        sys.exit("the last line has no line end")
    out = []
    for number, line in enumerate(text.split("\n")[:-1]):
        try:
            value = json.loads(line, object_pairs_hook=unique_members,
                               parse_constant=reject_constant, parse_float=no_floats)
        except ValueError as error:
            sys.exit("line %d: %s: %r" % (number + 1, error, line))
        if not isinstance(value, dict):
            sys.exit("line %d is not an object" % (number + 1))
        for key, member in value.items():
            out.append("%d\t%s\t%s" % (number, key,
                                      json.dumps(member, ensure_ascii=False, separators=(",", ":"))))
    sys.stdout.buffer.write("".join(line + "\n" for line in out).encode("utf-8"))


main()
