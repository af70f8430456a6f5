#!/usr/bin/env python3
"""Makes the programs' text tables from the catalogues in common/texts/, one a language:
the resource scripts of Setup and Tourlet with each language's table packed beside them,
the header that numbers the texts, and English as a table for the native tests and the
runtime's fault box. Fails where a language lacks a text that English has or has one
English lacks. Makes the pseudo-languages from English too, for the test build alone."""

import argparse
import re
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "pictures"))
from compress_picture import packed  # noqa: E402  the pictures' packing, which the programs read

# Each language's LANGID as primary and sub language; English first, the fallback.
LANGUAGES = {
    "en-US": (0x09, 0x01), "de-DE": (0x07, 0x01), "fr-FR": (0x0C, 0x01),
    "es-ES": (0x0A, 0x03), "ja-JP": (0x11, 0x01), "zh-CN": (0x04, 0x02),
    "ar-SA": (0x01, 0x01),
}
# Windows' pseudo-locales: English made longer, accented and bracketed, so that a text cut
# off, a text not taken from the tables and a face without the letters all show; the second
# laid out from the right.
PSEUDO_LANGUAGES = {"qps-ploc": (0x101, 0x01), "qps-plocm": (0x1FF, 0x02)}
ACCENTED = dict(zip("AaCcEeIiNnOoUuYy", "ÅåÇçÉéÎîÑñÖöÛûÝý"))
GROWTH = 0.4
PROGRAMS = ("SETUP", "TOURLET")
# Texts of a part only one program has: the splash clip's refusals.
OWNED_PARTS = {"CLIP": "SETUP"}


def read_catalogue(path):
    texts = {}
    for number, line in enumerate(path.read_text("utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        name, separator, text = line.partition(" = ")
        if not separator or not re.fullmatch(r"[A-Z][A-Z0-9_]*", name):
            sys.exit(f"{path}:{number}: not NAME = text")
        if name in texts:
            sys.exit(f"{path}:{number}: {name} again")
        texts[name] = re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), text)
    return texts


def pseudo_word(word):
    """Accented, but for what must stay as it is: an address, a path, an access key."""
    if "@" in word or "\\" in word:
        return word
    out, keyed = [], False
    for c in word:
        out.append(c if keyed else ACCENTED.get(c, c))
        keyed = c == "&" and not keyed
    return "".join(out)


def pseudo_text(text):
    """About 40 % longer, the growth in words of "!" that wrap like any other, and bracketed.
    Lines of one paragraph join, for the layout to wrap them as it does a translation's, and
    the design's runs of empty lines shrink to two, as translators keep them."""
    paragraphs = re.sub(r"\n{4,}", "\n\n\n", text).split("\n\n")
    paragraphs = [re.sub(r"(?<=\S)\n(?=\S)", " ", paragraph) for paragraph in paragraphs]
    text = "\n\n".join(paragraphs)
    growth = round(len(text.replace("\n", "")) * GROWTH)
    filler = " ".join("!" * min(5, growth - i) for i in range(0, growth, 6)) if growth else ""
    accented = re.sub(r"[^\s]+", lambda m: pseudo_word(m.group(0)), text)
    return f"[{accented}{' ' if filler and len(text) > 12 else ''}{filler}]"


def pseudo_catalogues(languages):
    """Each pseudo-language's texts, from English. A text that every language keeps as English
    has it is a name, and stays as it is here too."""
    english = languages["en-US"]
    names = {name for name, text in english.items()
             if all(texts[name] == text for texts in languages.values())}

    def pseudo(name, text, mirrored):
        if name == "LAYOUT":
            return "RTL" if mirrored else "LTR"
        return text if name.endswith("_FACE") or name in names else pseudo_text(text)

    return {tag: {name: pseudo(name, text, tag.endswith("m")) for name, text in english.items()}
            for tag in PSEUDO_LANGUAGES}


def read_catalogues(folder):
    """Every language's texts, by tag, English first; exits where one lacks a text English
    has, or has one English lacks."""
    english = read_catalogue(folder / "en-US.txt")
    languages = {"en-US": english}
    for path in sorted(folder.glob("*.txt")):
        tag = path.stem
        if tag not in LANGUAGES:
            sys.exit(f"{path}: {tag} is no language the programs know")
        texts = read_catalogue(path)
        missing, extra = english.keys() - texts.keys(), texts.keys() - english.keys()
        if missing or extra:
            sys.exit(f"{path}: lacks {sorted(missing)}, and has {sorted(extra)} that English "
                     "lacks")
        languages[tag] = texts
    return languages


def packed_table(texts, numbers):
    """The texts by number, each its length in UTF-16 units and its units, little-endian, and
    none where a number has no text; deflated (RFC 1951) after its length in four bytes."""
    by_number = {numbers[name]: text for name, text in texts.items()}
    table = b""
    for number in range(max(by_number) + 1):
        units = by_number.get(number, "").encode("utf-16-le")
        table += struct.pack("<H", len(units) // 2) + units
    return packed(table)


def write_tables(folder, name, languages, numbers, program, codes):
    """The resource script `name`: each language's packed table as resource 1 of the type
    TEXTS."""
    script = ["/* Made by tools/texts/make_texts.py from common/texts/: edit those, not this. */"]
    for tag, texts in languages.items():
        primary, sub = codes[tag]
        own = {key: text for key, text in texts.items() if program_of(key) in (None, program)}
        table = f"{program.lower()}.{tag}.texts"
        (folder / table).write_bytes(packed_table(own, numbers))
        script += [f"LANGUAGE 0x{primary:02X}, 0x{sub:02X}", f'1 TEXTS "{table}"']
    (folder / name).write_text("\n".join(script) + "\n", "ascii")


def cpp_string(text):
    """A wide string literal of C++. Other letters go as universal character names, which,
    unlike a \\x escape, end where they should whatever letter follows."""
    escaped = []
    for c in text:
        if c in '"\\':
            escaped.append("\\" + c)
        elif c == "\n":
            escaped.append("\\n")
        elif 0x20 <= ord(c) < 0x7F:
            escaped.append(c)
        else:
            escaped.append(f"\\u{ord(c):04X}" if ord(c) <= 0xFFFF else f"\\U{ord(c):08X}")
    return 'L"' + "".join(escaped) + '"'


def cpp_name(name):
    return "k" + "".join(part.capitalize() for part in name.split("_"))


def program_of(name):
    prefix = name.partition("_")[0]
    return OWNED_PARTS.get(prefix, prefix if prefix in PROGRAMS else None)


def numbered(names):
    """Shared texts from 1, each program's from the next string-table block of 16 on, so
    that each program carries whole blocks of its own texts."""
    numbers, next_number = {}, 1
    for owner in (None, *PROGRAMS):
        for name in (n for n in names if program_of(n) == owner):
            numbers[name] = next_number
            next_number += 1
        next_number = (next_number + 15) // 16 * 16
    return numbers


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("catalogues", type=Path)
    parser.add_argument("out", type=Path)
    options = parser.parse_args()
    languages = read_catalogues(options.catalogues)
    english = languages["en-US"]
    numbers = numbered(list(english))
    options.out.mkdir(parents=True, exist_ok=True)
    made = "// Made by tools/texts/make_texts.py from common/texts/: edit those, not this.\n"
    ids = [f"    {cpp_name(name)} = {number}," for name, number in numbers.items()]
    (options.out / "text_ids.h").write_text(
        made + "#pragma once\n\nnamespace texts {\n\n// The number of each text in the "
        "programs' text tables.\nenum Id : int {\n" + "\n".join(ids) + "\n};\n\n}  // "
        "namespace texts\n", "utf-8")
    ordered = {tag: languages[tag] for tag in sorted(languages, key=list(LANGUAGES).index)}
    pseudo = pseudo_catalogues(languages)
    for program in PROGRAMS:
        write_tables(options.out, f"{program.lower()}_texts.rc", ordered, numbers, program,
                     LANGUAGES)
        write_tables(options.out, f"{program.lower()}_pseudo_texts.rc", pseudo, numbers,
                     program, PSEUDO_LANGUAGES)
    table = [f"    {{texts::{cpp_name(name)}, {cpp_string(text)}}}," for name, text in
             english.items()]
    (options.out / "english_texts.inc").write_text(made + "\n".join(table) + "\n", "utf-8")


if __name__ == "__main__":
    main()
