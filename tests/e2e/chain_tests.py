"""The whole chain under Wine: Setup, Tourlet, then the installer, from a CD folder, from the
CD image as drive D: (a failing one too), twenty times in a row, one front end at a time, and
never through a DLL planted beside it."""

import shutil
import subprocess
import time
from pathlib import Path

from geometry import CANCEL_BUTTON, NEXT_BUTTON, ON_LABEL, STAND_IN_TITLE, Wizard, on_screen
from runner import Registry
from splash_tests import (expect_fatal_error_and_end, expect_splash_tree, frame_chunks, splash,
                          wait_for_continue, watch_clip)
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
    # Started by its short name, Setup works in its folder's long name, and says it so.
    folder = lab.stage(folder_name="A long folder for short names")
    short = lab.wine.short_path(Wine.windows_path(folder))
    assert "~" in short, short
    setup = lab.wine.start(short + r"\Setup.exe", elsewhere, "setup-short")
    wait_for_continue(lab)
    lab.display.click(*on_screen(*ON_LABEL))
    expect_fatal_error_and_end(lab, setup, folder)


# A start that finds the guard held and no window waits this long for one, then ends.
WAIT_FOR_OTHER = 2.0
# Wine's start and end of a process around it, however busy the machine: a wait without end,
# or one per look, takes far longer.
PROCESS_OVERHEAD = 6.0


def hold_guard(lab, name, after_ms=0):
    """The probe holding the guard with no window, as a front end that hangs before it shows;
    the file whose creation lets go `after_ms` later, and the probe's process."""
    let_go = lab.folder / name
    holder = lab.wine.start(lab.wine.probe_exe, lab.folder, name,
                            args=["guard", Wine.windows_path(let_go), str(after_ms)])
    poll("the probe to hold the guard", lambda: Path(f"{let_go}.held").exists(), 30)
    return let_go, holder


@TESTS
def a_second_front_end_opens_nothing_and_brings_the_shown_one_forward(lab):
    """Setup or Tourlet started again while the splash or the wizard shows, after another
    program took the foreground: it ends with 0 at once, and the shown window is in front.
    Where the guard is held but no window comes, the new start does not wait long; where the
    holder lets go while it waits, it opens its own window."""
    cd = lab.stage_cd()
    let_go, holder = hold_guard(lab, "never")
    started = time.monotonic()
    assert lab.wine.start(cd / "Setup.exe", cd, "setup-held").wait(20) == 0
    took = time.monotonic() - started
    assert WAIT_FOR_OTHER <= took < WAIT_FOR_OTHER + PROCESS_OVERHEAD, f"ended after {took:.1f} s"
    print(f"  a start that found no window ended after {took:.1f} s")
    let_go.write_text("")
    assert holder.wait(20) == 0
    # Let go while it waits: it looks for 2 s from its start, and its process is listed
    # before it looks; the holder lets go half of that later.
    let_go, holder = hold_guard(lab, "let-go", after_ms=int(WAIT_FOR_OTHER * 500))
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    poll("Setup to start", lambda: "setup.exe" in lab.programs_running(), 20)
    let_go.write_text("")
    assert holder.wait(20) == 0
    splash(lab)
    for shown in ("splash", "wizard"):
        if shown == "wizard":
            click_continue(lab, setup)
            Wizard(lab.wine, lab.display)
        lab.wine.start(cd / "VARNOK" / "Setup.exe", cd, f"other-{shown}")
        lab.wine.wait_for("another program's window", title=STAND_IN_TITLE)
        for program in ("Setup.exe", "Tourlet.exe"):
            again = lab.wine.start(cd / program, cd, f"again-{shown}-{program}")
            assert again.wait(20) == 0, program
            poll(f"the {shown} in front", lambda: [
                window for window in lab.wine.visible(cls="VarnokForm") if window.foreground], 10)
            assert len(lab.wine.visible(cls="VarnokForm")) == 1, f"{program} opened a window"
        assert lab.wine.press_ok(STAND_IN_TITLE)
    lab.display.click(*Wizard(lab.wine, lab.display).on_screen(*CANCEL_BUTTON))
    poll("every program to end", lambda: not lab.programs_running(), 20)


@TESTS
def a_second_start_brings_the_front_ends_window_forward_not_another_of_its_process(lab):
    """The front end's process has another window in front of its own, as an input method's
    or the shell's may be: a second start, after another program took the foreground, brings
    the front end's marked window forward."""
    cd = lab.stage_cd()
    let_go = lab.folder / "shown"
    holder = lab.wine.start(lab.wine.probe_exe, lab.folder, "shown",
                            args=["front", Wine.windows_path(let_go)])
    poll("the probe's windows", lambda: Path(f"{let_go}.held").exists(), 30)
    lab.wine.start(cd / "VARNOK" / "Setup.exe", cd, "other")
    lab.wine.wait_for("another program's window", title=STAND_IN_TITLE)
    assert lab.wine.start(cd / "Setup.exe", cd, "again").wait(20) == 0
    poll("the front end's window in front", lambda: [
        window for window in lab.wine.visible(title="Probe front end") if window.foreground], 10)
    assert lab.wine.press_ok(STAND_IN_TITLE)
    let_go.write_text("")
    assert holder.wait(20) == 0


@TESTS
def a_failed_hand_off_keeps_the_front_end_and_its_box_comes_forward(lab):
    """Tourlet missing: "Continue" gives "Fatal Error" with the splash hidden. Setup started
    again, after another program took the foreground, opens no splash, ends with 0, and the
    box is in front again."""
    cd = lab.stage(folder_name="No Tourlet")
    installer = lab.stage_cd()
    setup = lab.wine.start(cd / "Setup.exe", cd, "setup")
    wait_for_continue(lab)
    lab.display.click(*on_screen(*ON_LABEL))
    lab.wine.wait_for("Fatal Error", title="Fatal Error", cls="#32770")
    lab.wine.start(installer / "VARNOK" / "Setup.exe", installer, "other")
    lab.wine.wait_for("another program's window", title=STAND_IN_TITLE)
    assert lab.wine.start(cd / "Setup.exe", cd, "again").wait(20) == 0
    poll("the box in front", lambda: [
        window for window in lab.wine.visible(title="Fatal Error") if window.foreground], 10)
    assert not lab.wine.visible(cls="VarnokForm"), "a splash opened"
    assert lab.wine.press_ok(STAND_IN_TITLE)
    expect_fatal_error_and_end(lab, setup, cd)


@TESTS
def a_failing_drive_stops_the_clip_or_the_start_and_nothing_more(lab):
    """Reads of the clip failing from 64 KiB on: the clip keeps its last whole frame, no box
    shows, and the hand-off works. Every read of Tourlet.exe failing: "Fatal Error" and the
    command box, and no wizard."""
    clip = (lab.options.build / "host" / "Varnok.avi").read_bytes()
    ends = [at + 8 + int.from_bytes(clip[at + 4:at + 8], "little") for at in frame_chunks(clip)]
    whole = sum(1 for end in ends if end <= 64 * 1024)
    lab.cd_in_drive_d(failing=["/Varnok.avi@65536"])
    setup = lab.wine.start("D:\\Setup.exe", lab.folder, "setup-clip")
    watch_clip(lab, whole - 1, at_least=1)
    wait_for_continue(lab)
    assert not lab.wine.visible(cls="#32770"), "a box shows"
    lab.display.click(*on_screen(*ON_LABEL))
    assert setup.wait(20) == 0
    lab.display.click(*Wizard(lab.wine, lab.display).on_screen(*CANCEL_BUTTON))
    poll("Tourlet to end", lambda: not lab.programs_running(), 20)

    lab.cd_in_drive_d(failing=["/Tourlet.exe@0"])
    setup = lab.wine.start("D:\\Setup.exe", lab.folder, "setup-tourlet")
    wait_for_continue(lab)
    lab.display.click(*on_screen(*ON_LABEL))
    expect_fatal_error_and_end(lab, setup, None, root="D:")
    assert not lab.programs_running(), "Tourlet runs"


@TESTS
def twenty_runs_of_the_chain_in_a_row(lab):
    cd = lab.stage_cd()
    for run in range(20):
        try:
            walk_chain(lab, cd, Wine.windows_path(cd), f"setup-{run}")
        except (AssertionError, subprocess.SubprocessError) as error:
            raise AssertionError(f"run {run + 1} of 20: {error}") from error
