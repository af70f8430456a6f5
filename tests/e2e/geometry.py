"""Where the windows' parts stand on the 1024 x 768 test screen, as the designs place them:
the splash centred at (192, 144), the wizard found by the probe. The tests, the shipped-CD
check and the demo all read them from here."""

DARK_BLUE, YELLOW, WHITE = (0, 0, 0xC0), (0xFF, 0xFF, 0), (0xFF, 0xFF, 0xFF)
BLACK, TEAL = (0, 0, 0), (0, 0x80, 0x80)

TITLE = "Pelmor's VARNOK"
WIZARD_TITLE = "Introduction to Pelmor's VARNOK"
STAND_IN_TITLE = "VARNOK Setup"
FATAL_TEXT = r"Error 101 - Run  d:\VARNOK\Setup.exe  where  'd' is your CDROM drive"

# With the splash at (192, 144) and its one-pixel frame, client (0, 0) is screen (193, 145).
SPLASH_AT = (192, 144)
CLIENT_LEFT, CLIENT_TOP = 193, 145
LABEL = (376, 432, 497, 449)          # "Continue", client pixels, right and bottom excluded
MARGIN_ABOVE = (376, 424, 497, 432)   # the highlight's band above the label
CLIP_SQUARE = (248, 56, 609, 417)
ON_LABEL, ON_BACKGROUND, ON_CLIP, ON_PANEL = (436, 440), (560, 440), (400, 200), (120, 200)
ON_PATCH = (130, 444)  # the patch over the side panel's last line of small print
BELOW_WINDOW = (436, 480)  # under "Continue", past the window's bottom edge


def on_screen(x, y):
    return CLIENT_LEFT + x, CLIENT_TOP + y


def screen_box(box):
    left, top, right, bottom = box
    return (*on_screen(left, top), *on_screen(right, bottom))


def continue_shows(shot):
    return shot.count(DARK_BLUE, *screen_box(LABEL)) > 20


def highlight_shows(shot):
    return shot.count(YELLOW, *screen_box(MARGIN_ABOVE)) > 20


# The wizard, in its client pixels.
PAGE_BOX = (152, 16, 457, 265)
NEXT_BUTTON, CANCEL_BUTTON = (320, 308), (416, 308)


class Wizard:
    """Tourlet's window as the probe and the screen see it; `mirrored` for a language read
    from right to left, where design places count from the right edge."""

    def __init__(self, wine, display, seconds=30, title=WIZARD_TITLE, mirrored=False):
        self.wine = wine
        self.display = display
        self.window = wine.wait_for("Tourlet's window", seconds, title=title)
        self.mirrored = mirrored
        border = (self.window.right - self.window.left - self.window.client_width) // 2
        self.left = self.window.left + border
        self.top = self.window.bottom - border - self.window.client_height

    def on_screen(self, x, y):
        return self.left + (self.window.client_width - x if self.mirrored else x), self.top + y

    def pixel(self, shot, x, y):
        return shot.pixel(*self.on_screen(x, y))

    def page_box(self, shot):
        (x0, top), (x1, bottom) = self.on_screen(*PAGE_BOX[:2]), self.on_screen(*PAGE_BOX[2:])
        return shot.region(min(x0, x1), top, max(x0, x1), bottom)

    def focus(self):
        """The text of the wizard's control that holds the keyboard focus."""
        return self.wine.wait_for("Tourlet's window", 10, title=WIZARD_TITLE).focus

    def back_enabled(self):
        window = self.wine.wait_for("Tourlet's window", 10, title=WIZARD_TITLE)
        return window.enabled("< &Back")

    def wait_for_page(self, shot_before, name):
        """Waits until the page box differs from `shot_before`'s, and returns the new shot."""
        before = self.page_box(shot_before)
        return self.display.wait_for_picture(
            f"the page box to change to {name}",
            lambda shot: self.page_box(shot) != before or None, name=name)

    def gone(self):
        return not self.wine.visible(title=WIZARD_TITLE)
