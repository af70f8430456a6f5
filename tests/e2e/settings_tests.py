"""What the user set in Windows for the screen, as far as Wine shows it: a contrast theme,
which Wine neither reports nor turns on, given to the test builds by VARNOK_TEST_HIGH_CONTRAST
and its colours by SetSysColors; animation effects turned off."""

from dpi_tests import Client
from geometry import LABEL, MARGIN_ABOVE, ON_BACKGROUND, ON_LABEL, ON_PANEL, on_screen, screen_box
from language_tests import stage_pseudo_cd
from runner import Registry
from splash_tests import CLIP_FRAMES, watch_clip

TESTS = Registry()

# A black theme: system colour index, RGB.
BLACK, WHITE, HOT, SELECTED = (0, 0, 0), (0xFF, 0xFF, 0xFF), (0xFF, 0x80, 0), (0, 0xFF, 0xFF)
THEME = {5: BLACK, 8: WHITE, 15: BLACK, 18: WHITE,  # window, its text, button face, its text
         26: HOT, 13: SELECTED, 14: BLACK}          # hot light, highlight, highlighted text
LINE_AT = (300, 280)  # on the wizard's line, in design pixels


@TESTS
def both_windows_take_a_contrast_themes_colours(lab):
    """The splash on the theme's window colour, "Continue" in its hot-light colour and, under
    the pointer, the highlight in its selection colour; the wizard in its button face and
    text colours, its line too; the pictures as drawn."""
    cd = stage_pseudo_cd(lab)
    assert lab.wine.probe("colours", *[f"{index}={r:02x}{g:02x}{b:02x}"
                                       for index, (r, g, b) in THEME.items()]) == 0
    lab.wine.extra_env["VARNOK_TEST_HIGH_CONTRAST"] = "1"
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup-contrast", args=["/lang=en"])
    shot = lab.display.wait_for_picture(
        "Continue in the hot-light colour", lambda shot: shot.count(HOT, *screen_box(LABEL)) > 20,
        name="splash-contrast")
    assert shot.pixel(*on_screen(*ON_BACKGROUND)) == BLACK
    # The side panel as drawn: its white, not the theme's, and its yellow stripe.
    panel = [shot.pixel(*on_screen(*point)) for point in (ON_PANEL, (10, 200))]
    assert panel == [WHITE, (0xFF, 0xFF, 0)], f"the side panel is not as drawn: {panel}"
    lab.display.move(*on_screen(*ON_LABEL))
    lab.display.wait_for_picture(
        "the highlight in the selection colour",
        lambda shot: shot.count(SELECTED, *screen_box(MARGIN_ABOVE)) > 20,
        name="splash-contrast-highlight")
    lab.display.click(*on_screen(*ON_LABEL))
    assert setup.wait(20) == 0
    window = lab.wine.wait_for("the wizard", cls="VarnokForm")
    client = Client(window, 96)
    shot = lab.display.wait_for_picture(
        "the wizard's line in the text colour",
        lambda shot: shot.pixel(*client.at(*LINE_AT)) == WHITE, name="wizard-contrast")
    assert shot.pixel(*client.at(140, 290)) == BLACK, "the button face"
    assert shot.count(WHITE, *client.box((152, 16, 457, 265))) > 100, "the page's text"
    assert lab.wine.close("VarnokForm")


@TESTS
def without_animation_effects_the_clip_rests_on_its_last_frame(lab):
    assert lab.wine.probe("animation", "0") == 0
    cd = lab.stage()
    lab.wine.start(cd / "Setup.exe", cd, "setup-still")
    assert watch_clip(lab, CLIP_FRAMES - 1, at_least=1) == [CLIP_FRAMES - 1]
