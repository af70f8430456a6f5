"""Both programs in the user's language: chosen by a /lang= switch, passed on from Setup to
Tourlet, taken from the user's language (the LANG of the Wine process) without one, and
English, exactly, for a language that is not shipped."""

import shutil
from contextlib import contextmanager

from dpi_tests import BUTTONS, MAKER_BOX, PICTURE_BOX, Client, expect_whole_in, ink_in, scale
from geometry import LABEL, ON_LABEL, PAGE_BOX, STAND_IN_TITLE, TITLE, WHITE, YELLOW, on_screen
from runner import Registry
from splash_tests import wait_for_continue
from winelab import poll
from wizard_tests import LANGUAGES, PAGE_COUNT, PSEUDO_LANGUAGES, catalogue

TESTS = Registry()
LINE = 13  # a text line of the wizard's font at 96 dpi
# Inside a button's edges and the focus rectangle within them: a caption cut off by the
# button reaches this band's outer columns.
CAPTION_INSET = 5


# X's own keysyms for the Arabic letters: U+0621 to U+0652 as 0x5C1 to 0x5F2.
ARABIC_LETTERS, ARABIC_KEYSYMS = range(0x621, 0x653), 0x5C1


def access_key(caption):
    """The key of a caption's access letter, as xdotool names it: an Arabic letter by the
    keysym the Arabic layout gives it (0x5ca for ت), so xdotool finds it on a key of that
    layout; a keysym on no key it would type by remapping a spare key for the moment, a
    change a busy Wine may not have read when the key arrives."""
    letter = caption[caption.index("&") + 1].lower()
    if letter.isascii():
        return letter
    assert ord(letter) in ARABIC_LETTERS, f"no layout here types {letter!r}"
    return hex(ord(letter) - ARABIC_LETTERS.start + ARABIC_KEYSYMS)


@contextmanager
def keyboard_for(lab, texts):
    """The keyboard layout the wizard's access letters are typed on, the Arabic one for
    Arabic letters, while the programs started meanwhile run (Wine reads the layout as a
    program starts); then the US layout again."""
    arabic = access_key(texts["TOURLET_NEXT"]).startswith("0x")
    if arabic:
        lab.display.keyboard_layout("ara")
    try:
        yield
    finally:
        if arabic:
            lab.display.keyboard_layout("us")


def expect_wizard_in(lab, texts, tag, picture=None, dpi=96):
    """Every text of the wizard in the language of `texts`, page by page, each page whole in
    its box with a line to spare below it, as nothing cut off leaves it, and every button's
    caption clear of the button's edges; mirrored for a language read from right to left, the
    picture as drawn (as `picture`, the pixels of the English one, where given); then the last
    "Next" starts the installer. Returns the picture's pixels."""
    window = lab.wine.wait_for("the wizard", title=texts["TOURLET_CAPTION"])
    buttons = [child["text"] for child in window.children if child["class"].lower() == "button"]
    assert sorted(buttons) == sorted([texts["TOURLET_BACK"], texts["TOURLET_NEXT"],
                                      texts["TOURLET_CANCEL"]]), buttons
    client = Client(window, dpi)
    mirrored = texts["LAYOUT"] == "RTL"

    def on_screen_box(box):  # a design box, from the right edge where the window is mirrored
        left, top, right, bottom = client.box(box)
        if mirrored:
            edges = 2 * client.left + window.client_width
            left, right = edges - right, edges - left
        return left, top, right, bottom

    box, picture_box = on_screen_box(PAGE_BOX), on_screen_box(PICTURE_BOX)
    for page in range(PAGE_COUNT):
        text = texts[f"TOURLET_PAGE_{page + 1}"]
        tree = poll(f"page {page} read out", lambda: (lambda tree: tree if tree[2].name == text
                    else None)(lab.wine.accessible_tree("VarnokForm")), 20)
        assert [child.name for child in tree[1:4]] == [texts["TOURLET_PICTURE"], text,
                                                       texts["TOURLET_MAKER"]], tree
        assert tree[2].place == (box[0], box[1], box[2] - box[0], box[3] - box[1]), tree[2]
        shot = lab.display.screenshot(f"{tag}-{dpi}-page{page}")
        face = shot.pixel(box[0] - 1, box[1])
        ink = [y for y in range(box[1], box[3]) for x in range(box[0], box[2])
               if shot.pixel(x, y) != face]
        assert ink, f"page {page}: no text drawn"
        assert max(ink) < box[3] - scale(LINE, dpi), \
            f"page {page} fills its box to the bottom: cut?"
        expect_whole_in(shot, on_screen_box(MAKER_BOX), (face,), f"{tag}: the maker's name")
        for name, button in BUTTONS.items():
            left, top, right, bottom = on_screen_box(button)
            band = (left + CAPTION_INSET, top + CAPTION_INSET, right - CAPTION_INSET,
                    bottom - CAPTION_INSET)
            columns = {x for x, _ in ink_in(shot, band, (face,))}
            assert columns, f"{tag}: no caption on {name}"
            # Wine centres an Arabic caption by its unshaped width, wider than it draws it,
            # so there only the width is judged (as for "Continue").
            clear = band[0] not in columns and band[2] - 1 not in columns if not mirrored \
                else max(columns) - min(columns) < band[2] - band[0]
            assert clear, f"{tag}: the caption of {name} is cut off at {dpi} dpi"
        drawn = shot.region(*picture_box)
        assert picture is None or drawn == picture, f"{tag}: the picture is not as drawn"
        lab.display.xdotool("key", "alt+" + access_key(texts["TOURLET_NEXT"]))
    lab.wine.wait_for("the installer", title=STAND_IN_TITLE)
    assert lab.wine.press_ok(STAND_IN_TITLE)
    return drawn


def expect_glyphs(lab, texts, tag):
    """Every letter the windows draw has a glyph in the face the language names for it, so
    none shows as an empty box. (The caption bar is the system's, in its own face.)"""
    def first(faces):  # the first choice of a list, which the prefix has
        return faces.split(",")[0].strip()

    drawn = {first(texts["WINDOW_FACE"]): [name for name in texts if name.startswith("TOURLET_")
                                           and not name.endswith("_FACE")
                                           and name not in ("TOURLET_CAPTION", "TOURLET_MAKER")],
             first(texts["SETUP_CONTINUE_FACE"]): ["SETUP_CONTINUE"]}
    for face, names in drawn.items():
        missing = lab.wine.missing_glyphs(face, "".join(texts[name] for name in names))
        assert not missing, f"{tag}: {face} has no glyphs for {missing[:20]!r}"


def expect_centred_in_label(shot, tag):
    """"Continue" on one line, its ink clear of the label's left and right edges and centred
    between them, to the glyphs' side bearings. (An East Asian face's ideographs fill the
    label's height.)"""
    left, top, right, bottom = (*on_screen(*LABEL[:2]), *on_screen(*LABEL[2:]))
    ink = ink_in(shot, (left, top, right, bottom), (WHITE, YELLOW))
    assert ink, f'"Continue" in {tag}: no text'
    first, last = min(x for x, _ in ink), max(x for x, _ in ink)
    assert first > left and last < right - 1, f'"Continue" in {tag} is cut off: {first}..{last}'
    # Wine measures Arabic unshaped, wider than it draws it, and so centres it off by some
    # pixels; Windows measures it shaped (through the language pack's extent).
    if catalogue(tag)["LAYOUT"] == "LTR":
        assert abs((first - left) - (right - 1 - last)) <= 3, f'"Continue" in {tag} is off centre'


@TESTS
def tourlet_speaks_the_language_of_its_switch(lab):
    cd = lab.stage_cd()
    picture = None
    for switched, tag in (("en", "en-US"), ("de", "de-DE"), ("fr-FR", "fr-FR"),
                          ("ES-es", "es-ES"), ("ja", "ja-JP"), ("zh-CN", "zh-CN"),
                          ("ar", "ar-SA")):
        expect_glyphs(lab, catalogue(tag), tag)
        with keyboard_for(lab, catalogue(tag)):
            tourlet = lab.wine.start(cd / "Tourlet.exe", cd, f"tourlet-{tag}",
                                     args=[f"/lang={switched}"])
            picture = expect_wizard_in(lab, catalogue(tag), tag, picture)
        assert tourlet.wait(20) == 0
        lab.end_chain()


def expect_chain_in(lab, cd, tag, args):
    """Setup's "Continue" centred and read out in the language `tag`, then its wizard."""
    texts = catalogue(tag)
    with keyboard_for(lab, texts):
        setup = lab.wine.start(cd / "Setup.exe", cd, f"setup-{tag}", args=args)
        expect_centred_in_label(wait_for_continue(lab), tag)
        tree = lab.wine.accessible_tree("VarnokForm")
        assert [child.name for child in tree[1:]] == [
            texts["SETUP_BANNER"], texts["SETUP_SIDE_PANEL"], texts["SETUP_ANIMATION"],
            texts["SETUP_CONTINUE"]], tree
        lab.display.click(*on_screen(*ON_LABEL))
        assert setup.wait(20) == 0
        expect_wizard_in(lab, texts, tag)


@TESTS
def setup_speaks_the_users_language_and_hands_it_on(lab):
    """Without a switch, the Wine process's user language: German for de_DE, and English
    exactly for Brazilian Portuguese, which is not shipped. With one, Tourlet speaks Setup's
    language whatever the user's is. Every language's "Continue" fits its label."""
    cd = lab.stage_cd()
    for locale, args, tag in (("de_DE.UTF-8", [], "de-DE"), ("de_DE.UTF-8", ["/lang=fr"], "fr-FR"),
                              ("de_DE.UTF-8", ["/lang=ar"], "ar-SA"), ("ja_JP.UTF-8", [], "ja-JP"),
                              ("ja_JP.UTF-8", ["/lang=zh"], "zh-CN"),
                              ("ja_JP.UTF-8", ["/lang=es"], "es-ES"), ("pt_BR.UTF-8", [], "en-US")):
        lab.wine.extra_env.update(LANG=locale, LC_ALL=locale)
        expect_chain_in(lab, cd, tag, args)
        lab.end_chain()


def stage_pseudo_cd(lab):
    """The CD with the test build of both programs, which carries the pseudo-languages."""
    cd = lab.stage_cd()
    for program in ("Setup.exe", "Tourlet.exe"):
        shutil.copy(lab.programs / "pseudo" / program, cd / program)
    return cd


@TESTS
def every_language_fits_at_144_dpi_and_the_pseudo_languages_show_it(lab):
    """The pseudo-languages, English made longer, accented and bracketed, through the whole
    chain: every text from the tables and none cut off; then every language's wizard, and the
    mirrored pseudo-language's, whole at 144 dpi."""
    cd = stage_pseudo_cd(lab)
    expect_chain_in(lab, cd, "qps-ploc", ["/lang=qps-ploc"])
    lab.set_dpi(144)
    for tag in (*LANGUAGES, *PSEUDO_LANGUAGES):
        with keyboard_for(lab, catalogue(tag)):
            tourlet = lab.wine.start(cd / "Tourlet.exe", cd, f"tourlet-{tag}-144",
                                     args=[f"/lang={tag}"])
            expect_wizard_in(lab, catalogue(tag), tag, dpi=144)
        assert tourlet.wait(20) == 0
        lab.end_chain()


@TESTS
def a_missing_clip_is_told_in_the_language_chosen(lab):
    """The error box in the program's language, whatever the user's, its reason included."""
    cd = lab.stage(clip=None)
    for tag in ("de-DE", "ar-SA"):
        texts = catalogue(tag)
        setup = lab.wine.start(cd / "Setup.exe", cd, f"setup-{tag}", args=[f"/lang={tag}"])
        box = lab.wine.wait_for("the error box", title=TITLE, cls="#32770")
        told = "\n".join(box.texts)
        assert texts["CLIP_REFUSED"].split("%1")[0] in told, box.texts
        assert texts["CLIP_NOT_OPENED"].split("%1")[0] in told, box.texts
        assert lab.wine.press_ok(TITLE)
        assert setup.wait(20) == 1


@TESTS
def a_widened_arabic_wizard_paints_and_reads_out_where_it_shows(lab):
    """The Arabic wizard is mirrored against its client area as it is, not as designed: once
    the user widens it, the new space opens at the left, "Next" leaves on screen just what a
    whole repaint shows, and a screen reader's rectangles lie where the page's text and the
    buttons are drawn."""
    widening = 160
    cd = lab.stage_cd()
    texts = catalogue("ar-SA")
    tourlet = lab.wine.start(cd / "Tourlet.exe", cd, "tourlet-ar-wide", args=["/lang=ar"])
    window = lab.wine.wait_for("the wizard", title=texts["TOURLET_CAPTION"])
    outer = (window.right - window.left, window.bottom - window.top)
    assert lab.wine.resize("VarnokForm", outer[0] + widening, outer[1])
    window = poll("the wider wizard", lambda: (lambda shown: shown[0] if shown and shown[0]
                  .client_width == 469 + widening else None)(
                      lab.wine.visible(title=texts["TOURLET_CAPTION"])), 10)
    client = Client(window, 96)
    area = (client.left, client.top, client.left + window.client_width,
            client.top + window.client_height)

    def on_screen_box(box):  # a design box, mirrored against the client area as it is
        left, top, right, bottom = client.box(box)
        return area[2] - (right - client.left), top, area[2] - (left - client.left), bottom

    lab.display.xdotool("key", "Tab", "Return")  # from Cancel to Next, and press it
    page = poll("the second page read out", lambda: (lambda tree: tree if tree[2].name ==
                texts["TOURLET_PAGE_2"] else None)(lab.wine.accessible_tree("VarnokForm")), 20)
    box = on_screen_box(PAGE_BOX)
    assert page[2].place == (box[0], box[1], box[2] - box[0], box[3] - box[1]), page[2]
    for name, button in BUTTONS.items():
        caption = texts["TOURLET_" + {"< &Back": "BACK", "&Next >": "NEXT",
                                      "Cancel": "CANCEL"}[name]].replace("&", "")
        # The buttons answer through the system's own objects, which Wine's give for a
        # mirrored window from its right edge with a negative width.
        read_out = [(min(left, left + width), top, abs(width), height)
                    for element in page[1:] if element.name == caption
                    for left, top, width, height in [element.place]]
        left, top, right, bottom = on_screen_box(button)
        assert read_out == [(left, top, right - left, bottom - top)], (caption, page)
    after_next = lab.display.wait_for_still("the second page painted", area, name="ar-wide-next")
    assert lab.wine.repaint("VarnokForm")
    new_space = (area[0], area[1], area[0] + widening, area[3])

    def as_after_next(shot):
        face = shot.pixel(area[2] - 3, area[1] + 5)
        assert not ink_in(shot, new_space, (face,)), "the controls drift into the new space"
        assert ink_in(shot, box, (face,)), "no page text where a screen reader finds it"
        changed = sum(a != b for a, b in zip(shot.region(*area), after_next)) // 3
        assert not changed, f"{changed} values differ from what Next left on screen"
        return True

    lab.display.wait_for_picture("the wizard repainted whole", as_after_next, 5,
                                 name="ar-wide-repainted")
    lab.wine.close("VarnokForm")
    assert tourlet.wait(20) == 0


@TESTS
def the_arabic_wizards_access_letters_answer_under_an_arabic_layout(lab):
    """Alt and the key of the Arabic wizard's own access letter page it on under the Arabic
    X layout, whose J key gives ت. (A Russian layout, whose N key must still answer "&Next >"
    by the Latin letter on it, Wine cannot give: it maps that layout's letter keys to virtual
    key 0x80 rather than to the US keys' as Windows does, so the unit tests show that.)"""
    cd = lab.stage_cd()
    texts = catalogue("ar-SA")
    lab.display.keyboard_layout("ara")
    try:
        tourlet = lab.wine.start(cd / "Tourlet.exe", cd, "tourlet-ara", args=["/lang=ar"])
        lab.wine.wait_for("the wizard", title=texts["TOURLET_CAPTION"])
        lab.display.xdotool("key", "alt+Arabic_teh")
        poll("the second page", lambda: lab.wine.accessible_tree("VarnokForm")[2].name ==
             texts["TOURLET_PAGE_2"], 20)
    finally:
        lab.display.keyboard_layout("us")
    lab.wine.close("VarnokForm")
    assert tourlet.wait(20) == 0
