"""Both windows at 96, 120, 144 and 192 dots per inch (Wine's LogPixels), on a screen large
enough for them: each is its 96-dpi design scaled by DPI/96, edges rounded half away from
zero, and the chain runs."""

from geometry import LABEL, STAND_IN_TITLE, WHITE, WIZARD_TITLE, YELLOW
from runner import Registry
from winelab import poll

TESTS = Registry()
DPIS = (96, 120, 144, 192)
SCREEN = (2048, 1536)
RED = (0xFF, 0, 0)
HIGHLIGHT = (376, 424, 497, 457)
PAGE_BOX, MAKER_BOX, PICTURE_BOX = (152, 16, 457, 265), (16, 272, 121, 289), (16, 16, 136, 262)
TOURLET_CENTRED_AS = (477, 400)  # not its own size: the size it is centred as
BUTTONS = {"< &Back": (200, 296, 281, 321), "&Next >": (280, 296, 361, 321),
           "Cancel": (376, 296, 457, 321)}


def scale(value, dpi):
    """The programs' one rounding rule: value x dpi / 96, half away from zero."""
    scaled = abs(value) * dpi
    return (scaled + 48) // 96 * (1 if value >= 0 else -1)


class Client:
    """A window's client area on the screen, at a DPI."""

    def __init__(self, window, dpi):
        border = (window.right - window.left - window.client_width) // 2
        self.left = window.left + border
        self.top = window.bottom - border - window.client_height
        self.dpi = dpi

    def at(self, x, y):
        """The screen point of a design point."""
        return self.left + scale(x, self.dpi), self.top + scale(y, self.dpi)

    def box(self, box):
        """The screen box of a design box (left, top, right, bottom)."""
        return (*self.at(*box[:2]), *self.at(*box[2:]))

    def place(self, box, on_screen=True):
        """A design box as left, top, width and height, on the screen or in the client."""
        left, top, right, bottom = self.box(box)
        origin = (0, 0) if on_screen else (self.left, self.top)
        return left - origin[0], top - origin[1], right - left, bottom - top


def expect_size(window, width, height, dpi):
    wanted = (scale(width, dpi), scale(height, dpi))
    got = (window.client_width, window.client_height)
    assert got == wanted, (dpi, got, wanted)


def centred(size, screen, dpi):
    """Where the programs centre a window of a 96-dpi `size` at `dpi`: half away from zero."""
    return tuple((screen_side - scale(side, dpi) + 1) // 2 for side, screen_side in zip(size, screen))


def ink_in(shot, box, background):
    left, top, right, bottom = box
    return [(x, y) for y in range(top, bottom) for x in range(left, right)
            if shot.pixel(x, y) not in background]


def continue_blue(shot, box):
    left, top, right, bottom = box
    return sum(1 for y in range(top, bottom) for x in range(left, right)
               if (lambda r, g, b: b - max(r, g) > 60)(*shot.pixel(x, y))) > 20


def expect_whole_in(shot, box, background, what):
    """Ink inside `box`, and none on its outermost rows and columns: nothing cut off."""
    ink = ink_in(shot, box, background)
    left, top, right, bottom = box
    assert len(ink) > 30, f"{what}: no text"
    touching = [(x, y) for x, y in ink if x in (left, right - 1) or y in (top, bottom - 1)]
    assert not touching, f"{what} is cut off at {touching[:3]}"


def expect_splash(shot, client):
    px = lambda x, y: shot.pixel(client.left + x, client.top + y)  # noqa: E731
    s = lambda value: scale(value, client.dpi)  # noqa: E731
    # The banner's red along its row 25, from past the maker's name to the client's edge.
    wrong = [x for x in range(s(140), s(632)) if px(x, s(25)) != RED]
    assert not wrong, f"the banner stops short: {wrong[:3]}"
    # The side panel's stripe down to the client's edge, and its white beside it.
    wrong = [y for y in range(s(52), s(459)) if px(s(17), y) != YELLOW]
    wrong += [y for y in range(s(52), s(280)) if px(s(45), y) != WHITE]
    assert not wrong, f"the side panel does not fill its place: rows {wrong[:3]}"
    # "Continue" whole in its label, on the highlight, which lies whole in its own box.
    label, highlight = client.box(LABEL), client.box(HIGHLIGHT)
    expect_whole_in(shot, label, (YELLOW, WHITE), '"Continue"')
    left, top, right, bottom = highlight
    beside = [(x, y) for y in range(top, bottom) for x in range(left, right)
              if not (label[0] <= x < label[2] and label[1] <= y < label[3])
              and shot.pixel(x, y) not in (YELLOW, WHITE)]
    assert not beside, f'"Continue" spills from its label at {beside[:3]}'
    middle = (left + right) // 2
    assert shot.pixel(middle, top) == YELLOW and shot.pixel(middle, bottom - 1) == YELLOW, \
        "the highlight is not whole"
    ring = [(x, top - 1) for x in range(left, right)] + [(x, bottom) for x in range(left, right)]
    ring += [(left - 1, y) for y in range(top, bottom)] + [(right, y) for y in range(top, bottom)]
    assert all(shot.pixel(*point) != YELLOW for point in ring), "the highlight spills"
    return True


@TESTS
def the_splash_is_its_design_scaled_at_every_dpi(lab):
    lab.use_screen(*SCREEN)
    cd = lab.stage_cd()
    for dpi in DPIS:
        lab.set_dpi(dpi)
        setup = lab.wine.start(cd / "Setup.exe", cd, f"setup-{dpi}")
        window = lab.wine.wait_for("the splash window", cls="VarnokForm")
        expect_size(window, 632, 459, dpi)
        client = Client(window, dpi)
        # Its blue, not the black of a window not yet painted: the pointer must come onto
        # the label once it shows, or the highlight never lights.
        lab.display.wait_for_picture(f'"Continue" at {dpi} dpi', lambda shot: continue_blue(
            shot, client.box(LABEL)))
        on_label = client.at(436, 440)
        lab.display.move(0, 0)
        lab.display.move(*on_label)
        shot = lab.display.wait_for_picture(f"the splash at {dpi} dpi",
                                            lambda shot: expect_splash(shot, client), 20,
                                            name=f"splash-{dpi}")
        if dpi == 144:  # for the README
            lab.display.save_crop(shot, "reference-144", client.left - 1, client.top - 1,
                                  scale(632, dpi) + 2, scale(459, dpi) + 2)
        tree = lab.wine.accessible_tree("VarnokForm")
        assert (tree[-1].name, tree[-1].place) == ("Continue", client.place(LABEL)), \
            (dpi, tree[-1])
        lab.display.click(*on_label)
        assert setup.wait(20) == 0
        lab.wine.wait_for("the wizard", title=WIZARD_TITLE)
        assert lab.wine.close("VarnokForm")
        lab.end_chain()


def text_lines(shot, box, face):
    """The bands of rows with text in `box`: one a display line that holds any."""
    left, top, right, bottom = box
    rows = [any(shot.pixel(x, y) != face for x in range(left, right)) for y in range(top, bottom)]
    return sum(1 for y, ink in enumerate(rows) if ink and (y == 0 or not rows[y - 1]))


def expect_wizard(shot, client, window):
    face = shot.pixel(*client.at(466, 5))
    picture = client.box(PICTURE_BOX)
    corners = [(picture[0], picture[1]), (picture[2] - 1, picture[1]),
               (picture[0], picture[3] - 1), (picture[2] - 1, picture[3] - 1)]
    assert all(shot.pixel(*point) == (0, 0x80, 0x80) for point in corners), "the picture"
    assert shot.pixel(picture[0] - 1, picture[1]) == face, "the picture overflows"
    rule = client.box((121, 280, 457, 281))
    wrong = [(x, y) for y in range(rule[1], rule[3]) for x in range(rule[0], rule[2])
             if shot.pixel(x, y) != (0, 0, 0)]
    assert not wrong and shot.pixel(rule[0], rule[1] - 1) == face, f"the rule: {wrong[:3]}"
    assert shot.pixel(rule[0], rule[3]) == face and shot.pixel(rule[2], rule[1]) == face
    expect_whole_in(shot, client.box(MAKER_BOX), (face,), "the maker's name")
    page = client.box(PAGE_BOX)
    ink = ink_in(shot, page, (face,))
    assert ink and max(x for x, _ in ink) < page[2] - 1, "the page text is cut off"
    for name, box in BUTTONS.items():
        child = [c for c in window.children if c["text"] == name][0]
        place = client.place(box, on_screen=False)
        assert tuple(child["place"]) == place, (name, child["place"], place)
    return text_lines(shot, page, face)


@TESTS
def the_wizard_is_its_design_scaled_at_every_dpi(lab):
    lab.use_screen(*SCREEN)
    cd = lab.stage_cd()
    lines_at_96 = []
    for dpi in DPIS:
        lab.set_dpi(dpi)
        tourlet = lab.wine.start(cd / "Tourlet.exe", cd, f"tourlet-{dpi}")
        window = lab.wine.wait_for("the wizard", title=WIZARD_TITLE)
        expect_size(window, 469, 329, dpi)
        client = Client(window, dpi)
        lines, before = [], None
        for page in range(3):
            if page:
                lab.display.xdotool("key", "alt+n")

            def turned(shot):  # to a new page, as designed
                page_box = client.box(PAGE_BOX)
                new = before is None or shot.region(*page_box) != before.region(*page_box)
                return new and expect_wizard(shot, client, window)

            before = lab.display.wait_for_picture(f"page {page} at {dpi} dpi", turned, 20,
                                                  name=f"wizard-{dpi}-{page}")
            lines.append(expect_wizard(before, client, window))
        tree = lab.wine.accessible_tree("VarnokForm")
        assert tree[2].place == client.place(PAGE_BOX), tree[2]
        lines_at_96 = lines_at_96 or lines
        assert all(abs(a - b) <= 1 for a, b in zip(lines, lines_at_96)), (dpi, lines, lines_at_96)
        print(f"  {dpi} dpi: text lines {lines}")
        lab.display.xdotool("key", "alt+n")
        lab.wine.wait_for("the installer", title=STAND_IN_TITLE)
        assert tourlet.wait(20) == 0
        assert lab.wine.press_ok(STAND_IN_TITLE)
        lab.end_chain()


@TESTS
def a_new_dpi_lays_the_window_out_afresh(lab):
    """Wine has one DPI for every monitor and never sends WM_DPICHANGED: the form sampler
    takes 144 dpi for its monitor and sends it itself, at the size it gives for 144 dpi, as
    Windows does when a window moves onto a denser monitor or the monitor's scale changes.
    The window is then the design at 144 dpi in the system's 144-dpi frame, centred as
    Tourlet centres it, with the buttons and the page text at their 144-dpi places."""
    lab.use_screen(*SCREEN)
    sampler = lab.programs / "tests" / "e2e" / "form_sampler.exe"
    process = lab.wine.start(sampler, sampler.parent, "sampler")
    window = lab.wine.wait_for("the sampler", title=WIZARD_TITLE)
    assert (window.left, window.top) == centred(TOURLET_CENTRED_AS, SCREEN, 96), window
    lab.display.click(*Client(window, 96).at(300, 100))  # Label1
    poll("the window at 144 dpi", lambda: lab.wine.visible(title=WIZARD_TITLE)[0].client_width
         > 469, 10)
    window = lab.wine.wait_for("the sampler", title=WIZARD_TITLE)
    # Wine still draws the frame at its one DPI, so the client area is what that frame leaves.
    left, top, right, bottom = lab.wine.frame(window, 144)
    outer = (window.right - window.left, window.bottom - window.top)
    assert outer == (scale(469, 144) + right - left, scale(329, 144) + bottom - top), \
        (outer, (left, top, right, bottom))
    assert (window.left, window.top) == centred(TOURLET_CENTRED_AS, SCREEN, 144), window
    client = Client(window, 144)
    lab.display.wait_for_picture("the sampler at 144 dpi",
                                 lambda shot: expect_wizard(shot, client, window) is not None,
                                 name="rescaled")
    tree = lab.wine.accessible_tree("VarnokForm")
    assert tree[2].place == client.place(PAGE_BOX), tree[2]
    assert lab.wine.close("VarnokForm")
    assert process.wait(20) == 0
