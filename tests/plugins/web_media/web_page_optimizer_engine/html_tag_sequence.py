#!/usr/bin/python3
"""Compares the markup of two HTML files as an independent parser reads it.

Usage: html_tag_sequence.py ORIGINAL PACKED

Both files are read as UTF-8 and parsed with Python's html.parser; the sequence of start and end
tags, with every attribute name and value (runs of white space in a value taken as one), must
be the same. Exits 0 when it is, 1 with the first difference otherwise.
"""
import re
import sys
from html.parser import HTMLParser


class TagSequence(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.items = []

    def _attrs(self, attrs):
        return [(name, None if value is None else re.sub(r"\s+", " ", value))
                for name, value in attrs]

    def handle_starttag(self, tag, attrs):
        self.items.append(("start", tag, self._attrs(attrs)))

    def handle_startendtag(self, tag, attrs):
        self.items.append(("start", tag, self._attrs(attrs)))
        self.items.append(("end", tag))

    def handle_endtag(self, tag):
        self.items.append(("end", tag))


def sequence(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    parser = TagSequence()
    parser.feed(text)
    parser.close()
    return parser.items


def main():
    original, packed = sequence(sys.argv[1]), sequence(sys.argv[2])
    for i, (a, b) in enumerate(zip(original, packed)):
        if a != b:
            print(f"item {i} differs: {a!r} became {b!r}")
            return 1
    if len(original) != len(packed):
        print(f"{len(original)} items became {len(packed)}")
        return 1
    if not original:
        print("no tags found")
        return 1
    print(f"{len(original)} items alike")
    return 0


if __name__ == "__main__":
    sys.exit(main())
