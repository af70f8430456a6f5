"""The whole chain under Wine: Setup, Tourlet, then the installer, from a CD folder, from the
CD image as drive D:, twenty times in a row, and never through a DLL planted beside it."""

import shutil
import subprocess

from geometry import NEXT_BUTTON, ON_LABEL, STAND_IN_TITLE, Wizard, on_screen
from runner import Registry
from splash_tests import expect_splash_tree, splash, wait_for_continue
from winelab import Wine, poll
from wizard_tests import PAGE_COUNT, expect_wizard_look, look_of

TESTS = Registry()


def click_continue(lab, setup, twice=False):
    wait_for_continue(lab)
    lab.display.click(*on_screen(*ON_LABEL))
    if twice:
        lab.display.xdotool("click", 1)
    assert setup.wait(20) == 0


def expect_one_installer(lab, wizard, root):
    started = lab.wine.wait_for("the installer", 20, title=STAND_IN_TITLE)
    text = "\n".join(started.texts)
    assert root + r"\VARNOK\Setup.exe" in text, started.texts
    poll("Tourlet to end", lambda: "tourlet.exe" not in lab.programs_running(), 20)
    # Tourlet has ended, so every installer it started is a process by now: one.
    assert lab.programs_running() == ["setup.exe"], lab.programs_running()
    assert wizard.gone()
    return text


@TESTS
def the_chain_runs_from_setup_through_tourlet_to_the_installer(lab):
    cd = lab.stage_cd()
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    splash(lab)
    click_continue(lab, setup)
    wizard = Wizard(lab.wine, lab.display)
    window = wizard.window
    assert (window.left, window.top) == (274, 184), window
    assert (window.client_width, window.client_height) == (469, 329), window
    assert not wizard.back_enabled()
    shots = [lab.display.wait_for_picture("the first page", look_of(wizard), name="page0")]
    for page in range(1, PAGE_COUNT):
        lab.display.click(*wizard.on_screen(*NEXT_BUTTON))
        shot = wizard.wait_for_page(shots[-1], f"page{page}")
        expect_wizard_look(wizard, shot)
        shots.append(shot)
        assert wizard.back_enabled()
    for page, shot in enumerate(shots):
        lab.display.save_crop(shot, f"reference-page{page}", window.left - 2, window.top - 2,
                              window.right - window.left + 4, window.bottom - window.top + 4)
    lab.display.click(*wizard.on_screen(*NEXT_BUTTON))  # the last Next, twice quickly
    lab.display.xdotool("click", 1)
    text = expect_one_installer(lab, wizard, Wine.windows_path(cd))
    assert "started in " + Wine.windows_path(cd) in text, text
    assert lab.wine.press_ok(STAND_IN_TITLE)


def walk_chain(lab, cd, root, name, cwd=None):
    """Setup from `cd` (started in `cwd`, by default `cd`) through Tourlet to the installer,
    with a quick double click on "Continue" and on the last "Next >"; `root` is the install
    root the programs see. Each double click starts one program, and every program has ended
    afterwards."""
    setup = lab.wine.start(cd / "Setup.exe", cwd or cd, name)
    splash(lab)
    assert lab.programs_running() == ["setup.exe"], lab.programs_running()
    click_continue(lab, setup, twice=True)
    wizard = Wizard(lab.wine, lab.display, 20)
    shot = lab.display.screenshot()
    for page in range(1, PAGE_COUNT):
        lab.display.click(*wizard.on_screen(*NEXT_BUTTON))
        shot = wizard.wait_for_page(shot, f"page{page}")
    lab.display.click(*wizard.on_screen(*NEXT_BUTTON))
    lab.display.xdotool("click", 1)
    expect_one_installer(lab, wizard, root)
    assert lab.wine.press_ok(STAND_IN_TITLE)
    poll("every program to end", lambda: not lab.programs_running(), 20)


# The DLL the programs load while running that is no KnownDLL, planted beside them, with
# Wine told to prefer a DLL it finds on the search path to its own, as Windows does for all
# but KnownDLLs: a load by bare name takes the planted one. (Planted KnownDLLs such as ole32
# or version.dll would be taken by Wine's own DLLs' delay loads under that setting; Windows
# takes KnownDLLs and their imports from the system folder only.)
PLANTED = ["oleacc"]


@TESTS
def dlls_planted_beside_the_programs_are_never_loaded(lab):
    cd = lab.stage_cd()
    for folder in (cd, cd / "VARNOK"):
        for name in PLANTED:
            shutil.copy(lab.programs / "tests" / "e2e" / "planted.dll", folder / f"{name}.dll")
    lab.wine.overrides = ",".join(PLANTED) + "=n,b"
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    splash(lab)
    wait_for_continue(lab)
    expect_splash_tree(lab.wine, continue_shown=True)
    click_continue(lab, setup)
    Wizard(lab.wine, lab.display)
    lab.wine.accessible_tree("VarnokForm")
    lab.display.xdotool("key", *["alt+n"] * PAGE_COUNT)
    lab.wine.wait_for("the installer", 20, title=STAND_IN_TITLE)
    assert lab.wine.press_ok(STAND_IN_TITLE)
    poll("every program to end", lambda: not lab.programs_running(), 20)
    loaded = sorted(str(path.relative_to(cd)) for path in cd.rglob("*.loaded"))
    assert not loaded, f"planted DLLs were loaded: {loaded}"

    # The control: a program that does not restrict its search, in the same folder, does
    # take the planted copy; otherwise the test above could not see a load at all.
    control = cd / "unrestricted_loader.exe"
    shutil.copy(lab.programs / "tests" / "e2e" / control.name, control)
    assert lab.wine.run(lab.wine.machine.command([control]), "control", 60, cwd=cd) == 0
    assert (cd / "oleacc.dll.loaded").exists(), "the control did not load the planted oleacc"


@TESTS
def the_cd_image_runs_the_chain_from_drive_d(lab):
    disc = lab.cd_on_drive_d()
    walk_chain(lab, disc, "D:", "setup")


@TESTS
def programs_started_from_another_folder_work_in_their_own(lab):
    cd = lab.stage_cd()
    elsewhere = lab.folder / "elsewhere"
    elsewhere.mkdir()
    tourlet = lab.wine.start(cd / "Tourlet.exe", elsewhere, "tourlet")
    wizard = Wizard(lab.wine, lab.display)
    lab.display.xdotool("key", *["alt+n"] * PAGE_COUNT)
    text = expect_one_installer(lab, wizard, Wine.windows_path(cd))
    assert "started in " + Wine.windows_path(cd) in text, text
    assert lab.wine.press_ok(STAND_IN_TITLE)
    assert tourlet.wait(20) == 0
    walk_chain(lab, cd, Wine.windows_path(cd), "setup", cwd=elsewhere)


@TESTS
def twenty_runs_of_the_chain_in_a_row(lab):
    cd = lab.stage_cd()
    for run in range(20):
        try:
            walk_chain(lab, cd, Wine.windows_path(cd), f"setup-{run}")
        except (AssertionError, subprocess.SubprocessError) as error:
            raise AssertionError(f"run {run + 1} of 20: {error}") from error
