"""Tourlet.exe's wizard and the forms layer's push buttons under Wine: look, keyboard, pages,
a screen reader, a missing installer and a larger window."""

import sys

from geometry import (BLACK, CANCEL_BUTTON, FATAL_TEXT, TEAL, WIZARD_TITLE,
                      Wizard)
from runner import Registry
from splash_tests import ROLE_CLIENT, ROLE_GRAPHIC, ROLE_PUSH_BUTTON, ROLE_STATIC_TEXT
from winelab import ROOT, poll

sys.path.insert(0, str(ROOT / "tools" / "texts"))
from make_texts import (LANGUAGES, PSEUDO_LANGUAGES, pseudo_catalogues,  # noqa: E402
                        read_catalogue, read_catalogues)

TESTS = Registry()
STATE_UNAVAILABLE, STATE_FOCUSED, STATE_DEFAULT, STATE_FOCUSABLE = 0x1, 0x4, 0x100, 0x100000
PAGE_COUNT = 3
E_INVALIDARG, DISP_E_MEMBERNOTFOUND, RPC_E_DISCONNECTED = "0x80070057", "0x80020003", "0x80010108"
IACCESSIBLE_METHODS = 21


def catalogue(tag="en-US"):
    """A language's texts by name, as the build reads them from common/texts/; a
    pseudo-language's as the build makes them from English."""
    folder = ROOT / "common" / "texts"
    if tag.startswith("qps-"):
        return pseudo_catalogues(read_catalogues(folder))[tag]
    return read_catalogue(folder / f"{tag}.txt")


def page_texts(tag="en-US"):
    """The wizard's page texts in a language."""
    texts = catalogue(tag)
    return [texts[f"TOURLET_PAGE_{page + 1}"] for page in range(PAGE_COUNT)]


def expect_wizard_look(wizard, shot):
    px = lambda x, y: wizard.pixel(shot, x, y)  # noqa: E731
    face = px(466, 5)
    assert face not in (BLACK, TEAL), face
    for point in [(144, 100), (10, 300), (466, 320), (140, 5), (460, 270)]:
        assert px(*point) == face, (point, px(*point), face)
    # The rule from 121 to 456 on row 280: Label2 covers its first pixel, nothing its last.
    wrong = [x for x in range(121, 457) if px(x, 280) != BLACK]
    assert not wrong, f"the rule misses columns {wrong[:5]}"
    assert px(120, 280) != BLACK and px(457, 280) != BLACK
    assert px(300, 279) == face and px(300, 281) == face
    # The picture at (16, 16), 120 x 246, teal in its corners, and nothing of it beyond.
    for point in [(16, 16), (135, 16), (16, 261), (135, 261)]:
        assert px(*point) == TEAL, (point, px(*point))
    for point in [(15, 16), (136, 16), (16, 262), (16, 15)]:
        assert px(*point) == face, (point, px(*point))
    # The page box: text from its first line at the top, nothing below its last line.
    assert shot.count(face, *wizard.on_screen(152, 16), *wizard.on_screen(457, 29)) < 305 * 13, \
        "no text on the first line"
    # The button row at y 296: each button's face, and the background beside and below.
    for left in (200, 280, 376):
        assert px(left + 40, 297) != face or px(left + 40, 320) != face, left
    assert px(458, 308) == face and px(300, 322) == face
    return True


def look_of(wizard):
    return lambda shot: expect_wizard_look(wizard, shot)


@TESTS
def push_buttons_follow_tab_order_access_keys_and_enter(lab):
    sampler = lab.programs / "tests" / "e2e" / "form_sampler.exe"
    process = lab.wine.start(sampler, sampler.parent, "sampler")
    window = Wizard(lab.wine, lab.display)  # the wizard's design with the sampler's handlers

    def expect_box(text):
        box = lab.wine.wait_for(f"the box {text}", title="Sampler", cls="#32770")
        assert text in box.texts, box.texts
        assert lab.wine.press_ok("Sampler")
        poll("the box to close", lambda: not lab.wine.visible(title="Sampler", cls="#32770"), 10)

    def rule(shot):
        # Both ends drawn, black through the mask pen; the label lies over its start.
        on = [window.pixel(shot, x, 280) for x in (456, 121)]
        off = [window.pixel(shot, x, y) for x, y in ((457, 280), (120, 280), (300, 281))]
        assert on == [BLACK] * 2 and BLACK not in off, (on, off)
        return True

    lab.display.wait_for_picture("the sampler's rule", rule, name="sampler")
    lab.display.xdotool("key", "alt+b")         # Back is disabled: nothing
    lab.display.xdotool("key", "Escape")        # no cancel button: nothing
    lab.display.xdotool("key", "Tab")           # Cancel -> Next
    lab.display.xdotool("key", "Return")        # presses Next, which enables Back
    expect_box("Next")
    lab.display.xdotool("key", "alt+b")
    expect_box("Back")
    lab.display.xdotool("key", "space")         # Back kept the focus
    expect_box("Back")
    assert process.poll() is None
    lab.display.click(*window.on_screen(*CANCEL_BUTTON))
    assert process.wait(20) == 0


@TESTS
def an_error_in_a_handler_is_told_and_ends_the_program(lab):
    """A handler's failure, and a misused container in one (the runtime's own end), each told
    in a sentence with the window gone; the press posted before the second never runs, or its
    box would hold the program open."""
    sampler = lab.programs / "tests" / "e2e" / "form_sampler.exe"
    for place, title, text in (((60, 280), "Sampler", "A handler failed."),
                               ((70, 100), "Error",
                                "The program met an internal fault and cannot go on.")):
        process = lab.wine.start(sampler, sampler.parent, "sampler")
        window = Wizard(lab.wine, lab.display)
        lab.display.click(*window.on_screen(*place))  # Label2, then Image1
        box = lab.wine.wait_for("the error box", title=title, cls="#32770")
        assert text in box.texts, box.texts
        assert not lab.wine.visible(title=WIZARD_TITLE), "the window still shows"
        assert lab.wine.press_ok(title)
        assert process.wait(20) == 1


@TESTS
def tourlet_reports_a_missing_installer_alone(lab):
    cd = lab.stage_cd(installer=False)
    tourlet = lab.wine.start(cd / "Tourlet.exe", cd, "tourlet")
    wizard = Wizard(lab.wine, lab.display)
    for _ in range(PAGE_COUNT):
        lab.display.xdotool("key", "alt+n")
    notice = lab.wine.wait_for("Fatal Error", title="Fatal Error", cls="#32770")
    assert FATAL_TEXT in notice.texts, notice.texts
    assert wizard.gone(), "the wizard still shows"
    assert lab.wine.press_ok("Fatal Error")
    assert tourlet.wait(20) == 0
    assert not lab.wine.visible(cls="#32770"), "a second box followed"


@TESTS
def tourlet_keyboard_pages_and_ends_on_space_cancel_and_alt_f4(lab):
    cd = lab.stage_cd()
    first_text = page_texts()[0]
    for ending in ("space", "cancel", "alt+F4"):
        tourlet = lab.wine.start(cd / "Tourlet.exe", cd, f"tourlet-{ending}")
        wizard = Wizard(lab.wine, lab.display)
        first = lab.display.wait_for_picture("the first page", look_of(wizard))
        assert wizard.focus() == "Cancel", wizard.focus()
        # Back is disabled and no button is a cancel button: Alt+B and Esc do nothing. Tab
        # is the sentinel: once the focus has moved on, the keys before it were handled.
        lab.display.xdotool("key", "alt+b", "Escape", "Tab")
        poll("Tab to move the focus to Next", lambda: wizard.focus() == "&Next >", 10)
        tree = lab.wine.accessible_tree("VarnokForm")
        assert tourlet.poll() is None and tree[2].name == first_text, \
            f"Alt+B or Esc did something ({ending})"
        if ending == "space":
            lab.display.xdotool("key", "shift+Tab", "space")  # back to Cancel, and press it
        else:
            lab.display.xdotool("key", "alt+n")
            wizard.wait_for_page(first, "page1")
            assert wizard.back_enabled()
            if ending == "cancel":
                lab.display.click(*wizard.on_screen(*CANCEL_BUTTON))
            else:
                lab.display.xdotool("key", "alt+F4")
        assert tourlet.wait(20) == 0, ending
        # Every start the ending made is a process by now: there is none.
        assert not lab.programs_running(), f"{ending} started {lab.programs_running()}"


@TESTS
def wizard_reads_to_a_screen_reader(lab):
    cd = lab.stage_cd()
    lab.wine.start(cd / "Tourlet.exe", cd, "tourlet")
    wizard = Wizard(lab.wine, lab.display)
    shot = lab.display.wait_for_picture("the first page", look_of(wizard), name="page0")
    for page, text in enumerate(page_texts()):
        if page:
            watch = lab.wine.watch_events("VarnokForm")
            lab.display.xdotool("key", "alt+n")
            shot = wizard.wait_for_page(shot, f"page{page}")
            # The new page text is told as the name of the page's child, the second, which
            # is a live region: a screen reader reads it without the focus.
            lab.wine.expect_event(watch, {"event": "name", "child": 2, "name": text},
                                  {"event": "liveregion", "child": 2, "name": text})
        tree = lab.wine.accessible_tree("VarnokForm")
        assert (tree[0].name, tree[0].role) == (WIZARD_TITLE, ROLE_CLIENT), tree[0]
        assert [(child.name, child.role) for child in tree[1:4]] == [
            ("Emblem and computer", ROLE_GRAPHIC), (text, ROLE_STATIC_TEXT),
            ("Pelmor Systems, Inc.", ROLE_STATIC_TEXT)], (page, tree)
        # The buttons are the system's own objects: Windows calls them push buttons, Wine's
        # stand-in for them only a client area.
        buttons = tree[4:]
        assert [button.name for button in buttons] == ["< Back", "Next >", "Cancel"], tree
        assert all(button.role in (ROLE_PUSH_BUTTON, ROLE_CLIENT) for button in buttons), tree
        expect_button_states(buttons, page)
    # The documented answers: no id is the object itself, an id past the last child and a
    # picture's default action are refused. Held past the close, the object answers nothing:
    # Tourlet has ended with its window, so how a call fails is the system's to say.
    held = lab.wine.hold_accessible("VarnokForm")
    assert lab.wine.close("VarnokForm")
    answers = lab.wine.held_answers(held)
    assert answers["alive"] == {"empty_id_name": WIZARD_TITLE, "beyond_last_role": E_INVALIDARG,
                                "first_child_action": DISP_E_MEMBERNOTFOUND}, answers
    answered = [method for method, code in answers["gone"].items() if int(code, 16) < 1 << 31]
    assert len(answers["gone"]) == IACCESSIBLE_METHODS and not answered, answers["gone"]


@TESTS
def an_object_held_past_its_window_answers_disconnected(lab):
    """Every call on a held object must answer RPC_E_DISCONNECTED, and at once: after a close
    (the form sampler pumps on after its window is destroyed, so the calls reach the object
    itself), and while the box of a failed handler or of the runtime's fault shows, the
    window hidden."""
    sampler = lab.programs / "tests" / "e2e" / "form_sampler.exe"
    endings = (("close", None, None, 0), ("failure", (60, 280), "Sampler", 1),
               ("fault", (70, 100), "Error", 1))  # Label2's handler fails; Image1's misuses
    for ending, place, box, code in endings:
        process = lab.wine.start(sampler, sampler.parent, f"sampler-{ending}",
                                 args=["outlive"] if ending == "close" else [])
        window = Wizard(lab.wine, lab.display)
        held = lab.wine.hold_accessible("VarnokForm")
        if ending == "close":
            assert lab.wine.close("VarnokForm")
        else:
            lab.display.click(*window.on_screen(*place))
            lab.wine.wait_for("the error box", title=box, cls="#32770")
        answers = lab.wine.held_answers(held)["gone"]
        assert len(answers) == IACCESSIBLE_METHODS, answers
        assert set(answers.values()) == {RPC_E_DISCONNECTED}, (ending, answers)
        if box:
            assert lab.wine.press_ok(box)
        assert process.wait(20) == code


def expect_button_states(buttons, page):
    """As the buttons' own objects and the wizard's object by child id tell it: no default
    button, Back unavailable on the first page, every enabled one focusable, and the focus
    on Cancel at the start, on Next after Alt+N."""
    focused = "Cancel" if page == 0 else "Next >"
    for button in buttons:
        for told in (button.state, button.parent_state):
            unavailable = button.name == "< Back" and page == 0
            assert not told & STATE_DEFAULT, (page, button)
            assert bool(told & STATE_UNAVAILABLE) == unavailable, (page, button)
            assert bool(told & STATE_FOCUSABLE) == (not unavailable), (page, button)
            assert bool(told & STATE_FOCUSED) == (button.name == focused), (page, button)


@TESTS
def enlarging_tourlet_moves_nothing(lab):
    cd = lab.stage_cd()
    lab.wine.start(cd / "Tourlet.exe", cd, "tourlet")
    wizard = Wizard(lab.wine, lab.display)
    before = lab.display.wait_for_picture("the first page", look_of(wizard))
    assert lab.wine.resize("VarnokForm", 600, 450)
    poll("the larger window", lambda: lab.wine.visible(title=WIZARD_TITLE)[0].client_width
         > 469, 10)
    box = (*wizard.on_screen(0, 0), *wizard.on_screen(469, 329))

    def enlarged(shot):
        expect_wizard_look(wizard, shot)
        assert before.region(*box) == shot.region(*box), "the controls moved"
        face = wizard.pixel(shot, 466, 5)
        assert wizard.pixel(shot, 550, 300) == face and wizard.pixel(shot, 300, 380) == face, \
            "the new space is not the button face"
        return True

    lab.display.wait_for_picture("the enlarged wizard", enlarged, name="enlarged")
    lab.wine.close("VarnokForm")

