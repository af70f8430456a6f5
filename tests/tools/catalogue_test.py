#!/usr/bin/env python3
"""Every language's catalogue against the rules its readers and its Windows users expect: the
path the user is told to run stands apart, the wizard's access keys are as that language marks
them, French spaces its punctuation, and no text loses or gains what the program puts in."""

import re
import sys
import unicodedata
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests"))
sys.path.insert(0, str(ROOT / "tools" / "texts"))

from make_texts import read_catalogues  # noqa: E402
from runner import Registry, run_all  # noqa: E402

TESTS = Registry()
CATALOGUES = read_catalogues(ROOT / "common" / "texts")
PATH = r"d:\VARNOK\Setup.exe"
# The access-key form of each language: the marked letter within the word, or, as Japanese and
# Chinese Windows write it, a Latin letter in "(&X)" after it.
BRACKETED = {"ja-JP", "zh-CN"}


def marked_letter(caption):
    """The letter after the one "&" of a caption ("&&" is a plain "&")."""
    marks = re.findall(r"&(.)", caption.replace("&&", ""))
    assert len(marks) == 1, f"{caption!r} marks {len(marks)} letters"
    return marks[0]


@TESTS
def the_path_to_run_stands_apart_from_the_words_around_it():
    for tag, texts in CATALOGUES.items():
        text = texts["FATAL_ERROR_TEXT"]
        at = text.find(PATH)
        assert at > 0, (tag, text)
        after = text[at + len(PATH):at + len(PATH) + 1]
        assert text[at - 1].isspace() and (after == "" or after.isspace()), (tag, text)


@TESTS
def back_and_next_each_mark_a_letter_of_their_own_as_the_language_does():
    for tag, texts in CATALOGUES.items():
        letters = []
        for name in ("TOURLET_BACK", "TOURLET_NEXT"):
            caption = texts[name]
            letter = marked_letter(caption)
            if tag in BRACKETED:
                assert re.search(r"\(&[A-Z]\)", caption), (tag, caption)
            else:
                word = caption.replace("<", "").replace(">", "").strip()
                assert letter.isalpha() and letter in word.replace("&", ""), (tag, caption)
            if tag == "ar-SA":
                assert unicodedata.name(letter).startswith("ARABIC LETTER"), (tag, caption)
            letters.append(letter.upper())
        assert letters[0] != letters[1], (tag, letters)


@TESTS
def french_keeps_no_plain_space_before_its_high_punctuation_or_inside_its_quotes():
    for name, text in CATALOGUES["fr-FR"].items():
        assert not re.search(r" [:;!?»]|« ", text), (name, text)


@TESTS
def every_text_puts_in_what_english_puts_in():
    english = CATALOGUES["en-US"]
    for tag, texts in CATALOGUES.items():
        for name, text in texts.items():
            assert (sorted(re.findall(r"%\d", text)) ==
                    sorted(re.findall(r"%\d", english[name]))), (tag, name, text)


if __name__ == "__main__":
    sys.exit(run_all(TESTS))
