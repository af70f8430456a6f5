"""Setup.exe's splash window under Wine: its look, "Continue" and its highlight, the keyboard,
a screen reader, and the error boxes of a missing Tourlet or clip."""

import time

from geometry import (BELOW_WINDOW, CLIP_SQUARE, DARK_BLUE, FATAL_TEXT, LABEL, MARGIN_ABOVE,
                      ON_BACKGROUND, ON_CLIP, ON_LABEL, ON_PANEL, ON_PATCH, SPLASH_AT, TITLE,
                      WHITE, YELLOW, continue_shows, highlight_shows, on_screen, screen_box)
import winelab
from runner import Registry
from winelab import Timeout, Wine, poll, quiet_run

TESTS = Registry()

# Setup's Timer1 starts when the window loads, which is after the program starts: nothing
# seen within this long of the start can be "Continue", whatever the machine's load.
REVEAL_SECONDS = 2.5
SURELY_EARLY = REVEAL_SECONDS - 0.3


def splash(lab):
    return lab.wine.wait_for("the splash window", cls="VarnokForm")


def wait_for_continue(lab, name=None):
    return lab.display.wait_for_picture("Continue", continue_shows, name=name)


def point_at(lab, where, highlighted):
    lab.display.move(*on_screen(*where))
    what = "the highlight" if highlighted else "the highlight to go"
    lab.display.wait_for_picture(what, lambda shot: highlight_shows(shot) == highlighted)


@TESTS
def splash_reveals_continue_and_reports_a_missing_tourlet(lab):
    cd = lab.stage()
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    window = splash(lab)
    first = lab.display.screenshot("1-opened")
    first_at = window.process_age()  # Setup's timer started after its process did
    assert first_at is not None, "the probe cannot tell Setup's age"
    early = first_at < SURELY_EARLY
    assert (window.left, window.top) == SPLASH_AT, window
    assert (window.right - window.left, window.bottom - window.top) == (634, 461), window
    assert (window.client_width, window.client_height) == (632, 459), window
    if early:
        assert not continue_shows(first), "Continue shows before 2.5 s"
        lab.display.click(*on_screen(*ON_LABEL))  # on the place of the hidden label
        if window.process_age() >= REVEAL_SECONDS and notice_follows(lab):
            # The click came late and met "Continue": it proves nothing, and Setup is ending.
            print("  (the early click came too late to judge)")
            expect_fatal_error_and_end(lab, setup, cd)
            return
    else:
        print(f"  (first look {first_at:.1f} s after the start, too late to click surely before "
              "2.5 s: the early click is left out)")

    wait_for_continue(lab, "2-continue")
    assert setup.poll() is None, "an early click ended Setup"

    point_at(lab, ON_BACKGROUND, False)  # the early click left the pointer on the label
    point_at(lab, ON_LABEL, True)
    lab.display.screenshot("3-highlight")
    point_at(lab, ON_BACKGROUND, False)
    point_at(lab, ON_LABEL, True)
    point_at(lab, (ON_LABEL[0], MARGIN_ABOVE[1] + 2), False)  # the ellipse's own margin
    for elsewhere in (ON_CLIP, ON_PANEL):
        point_at(lab, ON_LABEL, True)
        lab.display.move(*on_screen(*elsewhere))
        # The sentinel: a button pressed there takes the mouse capture, so once the capture
        # shows, the move before it was handled; a press on a picture or the clip does nothing.
        lab.display.xdotool("mousedown", 1)
        poll("the press to capture the mouse", lambda: splash(lab).captured, 10)
        lab.display.xdotool("mouseup", 1)
        lab.stays(f"the highlight over {elsewhere}",
                  lambda: highlight_shows(lab.display.screenshot()), 0.5)
    point_at(lab, ON_LABEL, True)
    point_at(lab, ON_PATCH, False)  # the patch is a shape: background, not panel
    point_at(lab, ON_LABEL, True)
    point_at(lab, BELOW_WINDOW, False)  # straight down, off the window

    lab.display.click(*on_screen(*ON_LABEL))
    notice = lab.wine.wait_for("Fatal Error", title="Fatal Error", cls="#32770")
    assert FATAL_TEXT in notice.texts, notice.texts
    assert not lab.wine.visible(cls="VarnokForm"), "the splash window is still shown"
    lab.display.screenshot("4-fatal-error")
    expect_fatal_error_and_end(lab, setup, cd)


def notice_follows(lab, seconds=5):
    try:
        return poll("Fatal Error", lambda: lab.wine.visible(title="Fatal Error"), seconds)
    except Timeout:
        return False


def expect_fatal_error_and_end(lab, setup, cd, root=None):
    """The notice, then the box with the command that failed, then Setup ends with 0. The
    command starts with `root`, by default the folder `cd`."""
    notice = lab.wine.wait_for("Fatal Error", title="Fatal Error", cls="#32770")
    assert FATAL_TEXT in notice.texts, notice.texts
    assert lab.wine.press_ok("Fatal Error")
    command = lab.wine.wait_for("the command box", title=TITLE, cls="#32770")
    assert (root or Wine.windows_path(cd)) + r"\Tourlet.exe" in command.texts, command.texts
    assert lab.wine.press_ok(TITLE)
    assert setup.wait(20) == 0


# Active Accessibility's roles and states, as oleacc.h numbers them.
ROLE_CLIENT, ROLE_GRAPHIC, ROLE_STATIC_TEXT, ROLE_PUSH_BUTTON, ROLE_ANIMATION = 10, 40, 41, 43, 54
STATE_FOCUSED, STATE_DEFAULT, STATE_FOCUSABLE = 0x4, 0x100, 0x100000
SPLASH_ELEMENTS = [("Pelmor banner", ROLE_GRAPHIC),
                   ("Pelmor's VARNOK title and notices", ROLE_GRAPHIC),
                   ("VARNOK animation", ROLE_ANIMATION)]


def expect_splash_tree(wine, continue_shown, seconds=120):
    tree = wine.accessible_tree("VarnokForm", seconds)
    assert (tree[0].name, tree[0].role) == (TITLE, ROLE_CLIENT), tree[0]
    shown = SPLASH_ELEMENTS + ([("Continue", ROLE_PUSH_BUTTON)] if continue_shown else [])
    assert [(child.name, child.role) for child in tree[1:]] == shown, tree
    if continue_shown:
        button = tree[-1]
        assert button.action == "Press" and button.state & STATE_DEFAULT, button
        # It holds the focus of the window, which holds the keyboard's.
        assert button.state & STATE_FOCUSABLE and button.state & STATE_FOCUSED, button
        assert button.place == (*on_screen(376, 432), 121, 17), button


@TESTS
def splash_answers_the_keyboard_and_a_screen_reader(lab):
    cd = lab.stage()
    for press in ("space", "Return", "accessible"):
        # A screen reader says "Continue, button" as it appears: it shows and takes the focus.
        watch = lab.wine.watch_events("VarnokForm") if press == "Return" else None
        setup = lab.wine.start(cd / "Setup.exe", cd, f"setup-{press}")
        window = splash(lab)
        if press == "space":  # read before Continue shows, where the timing leaves room
            tree = lab.wine.accessible_tree("VarnokForm")
            if (window.process_age() or REVEAL_SECONDS) < SURELY_EARLY:
                assert "Continue" not in [child.name for child in tree[1:]], tree
                lab.display.xdotool("key", "space")
        wait_for_continue(lab)
        assert setup.poll() is None, "a key before Continue showed ended Setup"
        if watch:
            continue_event = {"child": 4, "name": "Continue"}
            lab.wine.expect_event(watch, {"event": "show", **continue_event},
                                  {"event": "focus", **continue_event})
        expect_splash_tree(lab.wine, continue_shown=True)
        if press == "accessible":
            assert lab.wine.press_accessible("VarnokForm", "Continue")
        else:
            lab.display.xdotool("key", press)
        expect_fatal_error_and_end(lab, setup, cd)


@TESTS
def continue_starts_tourlet_from_a_long_folder_with_non_ansi_letters(lab):
    name = "Kopie der CD \u00c4rger \u65e5\u672c\u8a9e \u0416 " + "x" * 60
    cd = lab.stage(folder_name=name, tourlet=True)
    assert len(Wine.windows_path(cd)) > 128
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    splash(lab)
    wait_for_continue(lab)
    lab.display.click(*on_screen(*ON_LABEL))
    assert setup.wait(20) == 0
    started = lab.wine.wait_for("Tourlet.exe", title="VARNOK Setup", cls="#32770")
    text = "\n".join(started.texts)
    assert Wine.windows_path(cd) + r"\Tourlet.exe" in text, started.texts
    assert "started in " + Wine.windows_path(cd) in text, started.texts
    assert not lab.wine.visible(title="Fatal Error")
    lab.wine.press_ok("VARNOK Setup")


def client(shot, x, y):
    return shot.pixel(*on_screen(x, y))


def expect_all(shot, what, colour, points):
    wrong = [(x, y, client(shot, x, y)) for x, y in points if client(shot, x, y) != colour]
    assert not wrong, f"{what}: {len(wrong)} pixels differ, first {wrong[:3]}"


def expect_splash_look(shot):
    red, black = (0xFF, 0, 0), (0, 0, 0)
    # A one-pixel frame around the 632 x 459 client area, in the system's frame colour.
    frame = [(x, -1) for x in range(-1, 633)] + [(x, 459) for x in range(-1, 633)]
    frame += [(-1, y) for y in range(459)] + [(632, y) for y in range(459)]
    frame_colour = client(shot, -1, -1)
    assert frame_colour not in (WHITE, red), frame_colour
    expect_all(shot, "the frame", frame_colour, frame)
    # The banner: black top row and left column, red to row 49 over the whole width (its
    # right frame column is cut off), then row 50 going on as stripe and white.
    expect_all(shot, "the banner's top", black, [(x, 0) for x in range(632)])
    expect_all(shot, "the left edge", black, [(0, y) for y in range(459)])
    name = range(42, 138), range(17, 40)
    expect_all(shot, "the banner's red", red,
               [(x, y) for y in range(1, 50) for x in range(1, 632)
                if not (x in name[0] and y in name[1])])
    expect_all(shot, "row 50's stripe", YELLOW, [(x, 50) for x in range(1, 34)])
    expect_all(shot, "row 50's white", WHITE, [(x, 50) for x in range(34, 632)])
    # The side panel's stripe to the bottom edge: its black bottom row is cut off.
    expect_all(shot, "the stripe", YELLOW, [(x, y) for y in range(51, 459) for x in range(1, 34)])
    expect_all(shot, "the last row", WHITE, [(x, 458) for x in range(34, 248)])
    # The patch hides the last line of small print and matches the white around it.
    expect_all(shot, "the patch", WHITE, [(x, y) for y in range(432, 457) for x in range(64, 201)])
    # The clip square at (248, 56): the disc's rim stands where the clip maker drew it.
    top_rim, left_rim = (248 + 180, 56 + 146 - 112), (248 + 180 - 112, 56 + 146)
    for x, y in (top_rim, left_rim):
        assert client(shot, x, y) not in (WHITE, YELLOW), (x, y, client(shot, x, y))
    expect_all(shot, "outside the disc", WHITE,
               [(top_rim[0], top_rim[1] - 3), (left_rim[0] - 3, left_rim[1])])
    expect_all(shot, "the clip's white corner", WHITE, [(248, 56), (608, 56), (608, 416)])
    # "Continue" in dark blue on a yellow ellipse that reaches 8 pixels above and below it.
    label = shot.count(DARK_BLUE, *screen_box(LABEL))
    assert label > 50, label
    assert shot.count(DARK_BLUE, 0, 0, 1024, 768) == label, "dark blue outside the label"
    expect_all(shot, "the ellipse's top and bottom", YELLOW, [(436, 424), (436, 456)])
    expect_all(shot, "around the ellipse", WHITE, [(436, 423), (436, 457), (375, 440),
                                                   (497, 440)])
    expect_all(shot, "the ellipse's sides", YELLOW, [(377, 440), (495, 440)])
    return True


# Pixels compared as a display of 5 bits a channel shows them.
DEPTH = bytes(value & 0xF8 for value in range(256))
CLIP_FRAMES, FRAME_BYTES = 24, 361 * 361 * 3


def drawn_frames(lab):
    """The clip's frames as the clip maker drew them, at the depth compared, by picture."""
    path = lab.folder / "frames.rgb"
    quiet_run([lab.options.build / "host" / "tools" / "clipmaker" / "make_clip", "--frames",
               path], lab.folder / "logs" / "frames.log")
    data = path.read_bytes()
    frames = [data[at:at + FRAME_BYTES].translate(DEPTH)
              for at in range(0, len(data), FRAME_BYTES)]
    # Else two frames would pass for each other.
    assert len(frames) == CLIP_FRAMES == len(set(frames)), len(set(frames))
    return {frame: index for index, frame in enumerate(frames)}


def watch_clip(lab, held, at_least):
    """Watches the clip square from the start, screenshot after screenshot, until it shows
    frame `held` as drawn, and then holds it. Before it, the frames seen go forward, and at
    least `at_least` distinct ones are seen."""
    frames = drawn_frames(lab)
    seen = []
    deadline = time.monotonic() + 30 * winelab.SLOWNESS

    def shown():
        return frames.get(lab.display.screenshot().region(*screen_box(CLIP_SQUARE))
                          .translate(DEPTH))

    while not seen or seen[-1] != held:
        frame = shown()
        if frame is not None and (not seen or seen[-1] != frame):
            seen.append(frame)
        if time.monotonic() > deadline:
            raise Timeout(f"the clip never showed its frame {held}; frames seen: {seen}")
    assert seen == sorted(seen) and len(seen) >= at_least, f"frames seen: {seen}"
    lab.stays(f"frame {held} of the clip", lambda: shown() == held)
    return seen


@TESTS
def splash_looks_as_designed(lab):
    cd = lab.stage()
    lab.wine.start(cd / "Setup.exe", cd, "setup")
    watch_clip(lab, CLIP_FRAMES - 1, at_least=3)  # the clip plays through and keeps its last
    splash(lab)
    wait_for_continue(lab)
    point_at(lab, ON_BACKGROUND, False)
    lab.display.move(*on_screen(*ON_LABEL))
    shot = lab.display.wait_for_picture("the splash as designed", expect_splash_look,
                                        name="splash")
    lab.display.save_crop(shot, "reference", 190, 142, 640, 467)


def expect_refused_clip(lab, clip, reason):
    cd = lab.stage(clip=clip)
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    box = lab.wine.wait_for("the error box", title=TITLE, cls="#32770")
    text = "\n".join(box.texts)
    assert 'The clip "Varnok.avi" cannot be played' in text, box.texts
    assert reason in text, box.texts
    assert not lab.wine.visible(cls="VarnokForm"), "a splash window shows"
    lab.display.screenshot("refused")
    assert lab.wine.press_ok(TITLE)
    assert setup.wait(20) == 1


@TESTS
def a_missing_clip_gives_an_error_box_and_no_splash(lab):
    expect_refused_clip(lab, None, "the file cannot be opened")


def frame_chunks(clip):
    """Where each frame chunk of a clip begins, walking its movie list."""
    movie = clip.index(b"movi") - 8
    end = movie + 8 + int.from_bytes(clip[movie + 4:movie + 8], "little")
    at, frames = movie + 12, []
    while at + 8 <= end:
        size = int.from_bytes(clip[at + 4:at + 8], "little")
        if clip[at:at + 4] in (b"00dc", b"00db"):
            frames.append(at)
        at += 8 + size + (size & 1)
    return frames


@TESTS
def a_clip_damaged_after_its_headers_plays_to_its_last_good_frame(lab):
    clip = bytearray((lab.options.build / "host" / "Varnok.avi").read_bytes())
    damaged = frame_chunks(clip)[6] + 8
    clip[damaged:damaged + 8] = bytes([0, 2, 255, 255] * 2)  # two jumps out of the picture
    cd = lab.stage(clip=bytes(clip))
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    watch_clip(lab, 5, at_least=1)  # the frame before the damage
    splash(lab)
    wait_for_continue(lab, "continue")
    point_at(lab, ON_LABEL, True)
    assert setup.poll() is None, "Setup ended"
    assert not lab.wine.visible(title=TITLE, cls="#32770"), "an error box shows"
    assert lab.wine.close("VarnokForm")
    assert setup.wait(20) == 0


@TESTS
def a_broken_clip_gives_an_error_box_and_no_splash(lab):
    clip = (lab.options.build / "host" / "Varnok.avi").read_bytes()
    expect_refused_clip(lab, clip[:5000], "the file is damaged")
