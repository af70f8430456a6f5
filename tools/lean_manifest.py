#!/usr/bin/env python3
"""Writes an application manifest without its comments, its description and the indentation
between its elements, as the program carries it: the source keeps them for its readers (the
loader reads no description; the version resource carries the program's), while every byte
of a program is read from the disc before its window shows.

    lean_manifest.py <in.manifest> <out.manifest>
"""

import re
import sys


def main():
    source, target = sys.argv[1:3]
    with open(source, encoding="utf-8") as file:
        text = file.read()
    text = re.sub(r"<!--.*?-->", "", text, flags=re.S)
    text = re.sub(r"<description>.*?</description>", "", text, flags=re.S)
    text = re.sub(r">\s+<", "><", text).strip()
    with open(target, "w", encoding="utf-8", newline="") as file:
        file.write(text)


if __name__ == "__main__":
    main()
