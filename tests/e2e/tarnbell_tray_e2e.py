"""End-to-end tests of the tray icon, the About window and Help: the real
Tarnbell.exe under Wine and Xvfb, clicked with the real mouse through xdotool
(Wine shows tray icons in its own "Wine System Tray" X window when there is no
desktop tray), looked at with ImageMagick screenshots, and read back with
tbdriver.exe.

Each test runs its own copy under its own file name, and tbdriver is told that
name (TBDRIVER_EXE), so a Tarnbell.exe of another run is never driven by
mistake. Screenshots go to TARNBELL_ARTIFACTS; scripts/make-docs-pictures.sh
turns them into the README's pictures.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import tarnbell_support as support
from tarnbell_support import Tray, grab, poll, rgb, run

HERE = Path(__file__).resolve().parent
RES = HERE.parent.parent / "app" / "res"
VK_ADD, VK_MULTIPLY, VK_DIVIDE, VK_DOWN = support.VK_ADD, support.VK_MULTIPLY, support.VK_DIVIDE, support.VK_DOWN
STEP = support.STEP
PRODUCT_ADDRESS = "https://tarnbell.example.org/"


def differing_pixels(a, b, only=None):
    """Pixels that differ by more than rounding; with `only` (one flag a
    pixel), just the flagged ones."""
    assert len(a) == len(b), "images of different sizes"
    return sum(1 for n, i in enumerate(range(0, len(a), 3))
               if (only is None or only[n]) and max(abs(x - y) for x, y in zip(a[i:i + 3], b[i:i + 3])) > 8)


class Reference:
    """One of the program's own tray images as the tray draws it on its
    background colour, and which of its pixels are fully opaque. Wine's tray
    draws a new image over the old one without clearing it, so only those
    pixels are sure to show the new image alone."""

    SIZES = [16, 20, 24, 32, 48]  # the images in each file, smallest first

    def __init__(self, name, background, folder, size=16):
        out = folder / f"reference-{name}-{size}.png"
        image = f"{RES / name}.ico[{self.SIZES.index(size)}]"
        run("convert", image, "-background", "#%02x%02x%02x" % tuple(background), "-flatten", out)
        self.pixels = rgb(out)
        alpha = subprocess.run(["convert", image, "-alpha", "extract", "-depth", "8", "gray:-"],
                               capture_output=True, check=True).stdout
        self.opaque = [a == 255 for a in alpha]


def red_pixels(pixels, width, x0, y0, x1, y1):
    count = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            r, g, b = pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]
            count += r > 170 and g < 90 and b < 90
    return count


class Mouse:
    """The real X pointer. A click is made only once Wine has seen the
    pointer arrive, so that it cannot land where the pointer was before."""

    def __init__(self, app):
        self.app = app

    def move(self, x, y):
        run("xdotool", "mousemove", x, y)
        poll(lambda: self.app.driver("cursor").split()[-1] == f"{x},{y}", f"the pointer at {x},{y}", 10)
        time.sleep(0.2)

    def click(self, x, y, button=1):
        self.move(x, y)
        run("xdotool", "click", button)

    def away(self):
        """Off every window of the test, so that a tooltip goes and a later
        move onto the icon is a new hover."""
        run("xdotool", "mousemove", 700, 700)
        time.sleep(0.3)


# ---- the program ------------------------------------------------------------

class TrayProgram(support.Tarnbell):
    """A copy under a name of its own; the shell's "open" of a web address
    ends in a stand-in xdg-open that notes the address in a file."""

    def __init__(self, folder, exe_name):
        super().__init__(folder, exe_name=exe_name)
        self.opened = self.folder / "opened.txt"
        fake = self.folder / "fakebin"
        fake.mkdir(exist_ok=True)
        (fake / "xdg-open").write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{self.opened}"\n')
        (fake / "xdg-open").chmod(0o755)
        self.env["PATH"] = f"{fake}:{os.environ['PATH']}"
        self.mouse = Mouse(self)

    def window(self):
        return support.parse_state(self.driver("state"))[0]

    def about(self):
        return support.parse_state(self.driver("about"))

    def own_windows(self):
        """Visible top-level windows of this program, as (class, text)."""
        rows = [support.parse_state(line.replace("toplevel", "window", 1))[0]
                for line in self.driver("windows").splitlines() if line.startswith("toplevel")]
        return [(r["class"], r["text"]) for r in rows if r["own"] == "1"], rows

    def screen_point(self, window, control):
        """The screen point in the middle of a control of a window."""
        ox, oy = (int(n) for n in window["origin"].split(","))
        left, top, width, height = control["rect"]
        return ox + left + width // 2, oy + top + height // 2

    def assert_centred(self, test):
        window = self.window()
        left, top, width, height = window["rect"]
        sw, sh = (int(n) for n in window["screen"].split(","))
        test.assertEqual((left, top), ((sw - width) // 2, (sh - height) // 2), "centred on the screen")
        return window


class TrayTest(unittest.TestCase):
    def setUp(self):
        if support.CORE_AUDIO:  # Windows keeps the levels of the test before
            support.reset_audio()
        self.folder = Path(tempfile.mkdtemp(prefix="tarnbell-tray-e2e-"))
        self.app = None
        support.ARTIFACTS.mkdir(parents=True, exist_ok=True)

    def tearDown(self):
        if self.app:
            self.app.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def launch(self, exe_name):
        """Starts the program and finds its icon: the tray cell that holds an
        icon now and did not before. Keeps the icon as first drawn in
        self.fresh_icon."""
        self.app = TrayProgram(self.folder, exe_name).start()
        self.tray = self.app.find_icon()
        self.mouse = self.app.mouse

        def settled():
            first = self.tray.grab_icon(self.folder / "fresh.png")
            time.sleep(0.3)
            return first if self.tray.grab_icon(self.folder / "fresh.png") == first else None
        self.fresh_icon = poll(settled, "the icon to be drawn")
        self.app.wait_ready()
        return self.app

    def click_icon(self, button):
        self.mouse.click(*self.tray.centre(), button)

    def artifact(self, name):
        return support.ARTIFACTS / name


class TrayClicks(TrayTest):
    def test_left_and_right_release_show_the_window_centred(self):
        app = self.launch("TbClicks.exe")
        self.click_icon(1)
        app.driver("wait-shown")
        window = app.assert_centred(self)
        ox, oy = (int(n) for n in window["origin"].split(","))
        grab(ox, oy, 494, 474, self.artifact("main-window.png"))

        # shown and moved away: a right click brings it back to the centre
        app.driver("move", 20, 400)
        self.assertEqual(app.window()["rect"][:2], (20, 400))
        self.click_icon(3)
        poll(lambda: app.window()["rect"][:2] != (20, 400), "the window to move back")
        app.assert_centred(self)
        time.sleep(1)  # a menu would have opened by now
        own, everything = app.own_windows()
        self.assertEqual(own, [("TfrmMain", "Tarnbell")], "the right button opens no menu or other window")
        self.assertFalse([r for r in everything if r["class"] == "#32768"], "no menu anywhere")

        # hidden and moved: a left click shows it centred
        app.click("Background")
        app.driver("wait-hidden")
        app.driver("move", 600, 30)
        self.click_icon(1)
        app.driver("wait-shown")
        app.assert_centred(self)
        self.assertEqual(app.driver("focus").split()[1], 'foreground=TfrmMain/"Tarnbell"', "in front")

        # the press alone does nothing; the release shows the window
        app.click("Background")
        app.driver("wait-hidden")
        self.mouse.move(*self.tray.centre())
        run("xdotool", "mousedown", 3)
        time.sleep(1.5)
        self.assertFalse(app.visible(), "shown by a button press")
        run("xdotool", "mouseup", 3)
        app.driver("wait-shown")
        app.assert_centred(self)


class TrayImage(TrayTest):
    def save(self, pixels, name):
        subprocess.run(["convert", "-size", "16x16", "-depth", "8", "rgb:-", str(self.artifact(name))],
                       input=pixels, check=True)

    def test_mute_switches_the_image_and_unmute_restores_it(self):
        app = self.launch("TbImage.exe")
        normal = Reference("tray_normal", self.tray.background, self.folder)
        muted = Reference("tray_muted", self.tray.background, self.folder)
        self.assertGreater(differing_pixels(normal.pixels, muted.pixels), 20, "the two images differ")
        image = {False: normal, True: muted}

        def shows(expected, name):
            def match():
                shot = self.tray.grab_icon(self.artifact(name))
                return shot if differing_pixels(shot, expected.pixels, expected.opaque) == 0 else None
            return poll(match, f"the tray to show {name}", 10)

        # a new icon shows the image of the mute state, pixel for pixel
        was_muted = app.muted()
        self.assertEqual(differing_pixels(self.fresh_icon, image[was_muted].pixels), 0)
        app.toggle_mute(not was_muted, "the mute hotkey to switch")
        second = shows(image[not was_muted], "tray-second.png")
        app.toggle_mute(was_muted, "the mute hotkey to switch back")
        third = shows(image[was_muted], "tray-third.png")
        self.assertGreater(differing_pixels(self.fresh_icon, second), 20)
        self.assertEqual(differing_pixels(third, self.fresh_icon, image[was_muted].opaque), 0,
                         "switching back restores the image")
        # the muted image carries the red sign at its lower right
        self.assertGreater(red_pixels(self.fresh_icon if was_muted else second, 16, 8, 8, 16, 16), 10)

        # Pictures of both images. A muted image drawn over the normal one
        # covers it but for a few half-transparent pixels; the other way
        # round, the sign's remnants would show, so the normal picture is the
        # first one drawn if the line was unmuted at start.
        self.save(self.fresh_icon, "tray-muted.png" if was_muted else "tray-normal.png")
        self.save(second, "tray-normal.png" if was_muted else "tray-muted.png")


class TrayTooltip(TrayTest):
    def hover_tooltip(self, expected, shot=None, tray=None):
        """Hovers over the icon (or the one in `tray`) until the tray's
        tooltip shows `expected`; returns every text seen."""
        tray = tray or self.tray
        seen = []
        for _ in range(3):  # a tooltip goes away after a few seconds; hover anew
            self.mouse.away()
            x, y = tray.centre()
            self.mouse.move(x - 1, y)
            run("xdotool", "mousemove", x, y)
            deadline = time.time() + 6
            while time.time() < deadline:
                texts = [line.split("text=", 1)[1].strip('"') for line in self.app.driver("tooltips").splitlines()]
                seen += [t for t in texts if t not in seen]
                if expected in texts:
                    if shot:
                        tx, ty, _, _ = tray.geometry()
                        grab(max(tx - 3, 0), max(ty - 3, 0), 200, 80, shot)
                    return seen
                time.sleep(0.2)
        raise AssertionError(f"tooltip {expected!r} not shown; seen {seen}")

    def test_hover_shows_volume_and_channel_and_catches_up(self):
        app = self.launch("TbTip.exe")
        channel = app.control("ComboBox", left=329)["text"]
        self.assertTrue(channel, "a Channel is selected")

        app.volume_to_zero()
        self.hover_tooltip(f"0%\\r{channel}")

        # A volume change alone leaves the icon alone; moving the mouse over
        # it brings the tooltip up to date. 5 steps of 10 % are 32765 of
        # 65535: 49 %, truncated.
        for step in range(1, 6):
            app.driver("press", VK_ADD, 100)
            poll(lambda: app.slider() == step * STEP, f"step {step} up")
        seen = self.hover_tooltip(f"49%\\r{channel}", self.artifact("tray-tooltip.png"))
        self.assertNotIn(f"50%\\r{channel}", seen)


class TrayWheel(TrayTest):
    @staticmethod
    def at(percent):
        """Where a notch puts the slider: the least position showing `percent` %."""
        return (percent * 65535 + 99) // 100

    def shown(self):
        return self.app.slider() * 100 // 65535

    def over_icon(self):
        x, y = self.tray.centre()
        self.mouse.move(x - 2, y)
        self.mouse.move(x, y)

    def turn(self, button, notches=1):
        run("xdotool", "click", "--repeat", notches, "--delay", 50, button)

    def first_notch(self):
        """One notch up, turned again only if it had no effect (the shell may
        tell of the pointer after the wheel turned): the position it gave."""
        wanted = self.at(self.shown() + 2)
        for _ in range(5):
            self.turn(4)
            try:
                return poll(lambda: self.app.slider() == wanted and wanted, "a notch", 4)
            except AssertionError:
                self.over_icon()
        raise AssertionError("no notch over the icon counted")

    def test_notches_over_the_icon_step_the_volume_and_the_tooltip(self):
        app = self.launch("TbWheel.exe")
        tip = lambda position: f"{position * 100 // 65535}%\\r{app.named('channel')['text']}"
        app.volume_to_zero()
        self.over_icon()
        start = self.first_notch() * 100 // 65535
        self.assertEqual(start, 2, "from silence a notch gives 2 %")
        self.turn(4, 3)
        poll(lambda: app.slider() == self.at(start + 6), "three notches up", 10)

        # the pointer rests (the shell calls back no move): the tooltip follows a notch down
        TrayTooltip.hover_tooltip(self, tip(self.at(start + 6)))
        self.turn(5)
        poll(lambda: tip(self.at(start + 4)) in app.driver("tooltips"), "the tooltip to follow", 5)
        grab(*self.tray.geometry()[:2], 200, 80, self.artifact("tray-wheel-tooltip.png"))

        # away from the icon nothing counts: the next notch over it is one notch
        self.mouse.away()
        poll(lambda: app.driver("cursor").split()[-1] == "700,700", "the pointer away", 10)
        self.turn(4, 2)
        self.over_icon()
        wanted = self.at(start + 6)
        self.assertEqual(self.first_notch(), wanted)
        app.show_from_tray()
        self.assertEqual(app.slider(), wanted, "read back from the component")

        # unticked, notches over the icon do nothing (handled before the next click)
        box = "Scroll over the tray icon changes the volume"
        app.click(box)
        app.wait_ini("TrayWheel=0", "the box unticked")
        self.over_icon()
        self.turn(4, 3)
        app.click(box)
        app.wait_ini("TrayWheel=1", "the box ticked again")
        self.assertEqual(app.slider(), wanted, "no notch counted while unticked")
        app.click(box)
        app.exit()
        self.assertIn("[Display]\r\nShowLevel=1\r\nTrayWheel=0\r\n", app.ini())


class TrayMicrophone(TrayTest):
    """The microphone key, picked with the keyboard in the window. Under Wine
    the microphones' state lives in the program's own process, so it is read
    from what the program shows: the level display's text and the second
    icon, its image and its tooltip."""

    hover_tooltip = TrayTooltip.hover_tooltip

    def press_microphone_key(self, text, icon):
        """One press of Numpad /: the display says `text`, the shell has the
        microphone icon or not, and a new icon cell is there or not. The
        same driver run presses and looks for the display: a second run may
        start only after the display's 1.5 s have passed."""
        self.app.driver("level-gone", 5000)
        before, _ = Tray.occupied_cells(self.folder, "tray-before-press")
        out = self.app.driver("press", VK_DIVIDE, 100, "--", "level", 3000)
        display = support.parse_state(out.replace("toplevel", "window", 1))[0]
        self.assertEqual(display["text"], text)
        left, top, width, height = display["rect"]
        grab(left, top, width, height, self.artifact(f"level-display-{text.split()[-1]}.png"))
        poll(lambda: self.app.driver("tray-icon", 105).strip() == ("1" if icon else "0"),
             f"the microphone icon to {'come' if icon else 'go'}", 10)
        if not icon:
            return None
        added = poll(lambda: Tray.occupied_cells(self.folder, "tray-after-press")[0] - before,
                     "the microphone icon in the tray", 10)
        self.assertEqual(len(added), 1, added)
        return Tray(added.pop(), self.tray.background)

    def test_microphone_key_mutes_shows_the_icon_and_survives_a_restart(self):
        app = self.launch("TbMic.exe")
        self.click_icon(1)
        app.driver("wait-shown")
        mic_key = app.named("mic_key")
        self.assertEqual((mic_key["text"], mic_key["count"]), ("<None>", "60"), "off until a key is picked")
        app.arrow_keys("mic_key", VK_DOWN, 59)
        app.wait_ini("MicMute=59", "Numpad / picked with the keys")
        self.assertEqual(app.named("mic_key")["text"], "Numpad /")
        ox, oy = (int(n) for n in app.window()["origin"].split(","))
        grab(ox, oy, 494, 474, self.artifact("main-window-microphone.png"))
        app.click("Background")
        app.driver("wait-hidden")

        mic = self.press_microphone_key("Microphone muted", True)
        reference = Reference("tray_mic_muted", mic.background, self.folder)
        poll(lambda: differing_pixels(mic.grab_icon(self.artifact("tray-microphone.png")), reference.pixels,
                                      reference.opaque) == 0, "the tray to show the microphone image", 10)
        self.hover_tooltip("Microphone muted", self.artifact("tray-microphone-tooltip.png"), mic)
        x, y, width, height = Tray.geometry()
        grab(x, y, width, height, self.artifact("tray-both-icons.png"))
        self.mouse.click(*mic.centre())
        app.driver("wait-shown")
        app.click("Background")
        app.driver("wait-hidden")
        self.press_microphone_key("Microphone on", False)
        poll(lambda: mic.index not in Tray.occupied_cells(self.folder, "tray-gone")[0],
             "the microphone icon's cell to empty", 10)

        app.exit()
        self.app = TrayProgram(self.folder, "TbMic.exe").start()
        self.tray = self.app.find_icon()
        self.app.wait_ready()
        self.press_microphone_key("Microphone muted", True)
        self.press_microphone_key("Microphone on", False)
        self.assertIn("PreMicMute=0\r\nMicMute=59\r\n", self.app.ini())


class AboutWindow(TrayTest):
    def test_about_opens_on_top_links_and_returns_to_the_tray(self):
        app = self.launch("TbAbout.exe")
        self.click_icon(1)
        app.driver("wait-shown")
        app.click("About")
        about, controls = poll(lambda: (lambda s: s if s[0]["visible"] == "1" else None)(app.about()),
                               "the About window")
        self.assertEqual(about["caption"], "About")
        self.assertEqual(about["client"], "300,200")
        left, top, width, height = about["rect"]
        sw, sh = (int(n) for n in about["screen"].split(","))
        self.assertEqual((left, top), ((sw - width) // 2, (sh - height) // 2), "centred")
        self.assertEqual(app.window()["enabled"], "0", "the main window waits while About is open")

        # The version is the one the build was given.
        cmake = (HERE.parent.parent / "CMakeLists.txt").read_text()
        wanted = re.search(r"project\(Tarnbell VERSION (\S+)", cmake).group(1)
        version = next(c for c in controls if c["text"].startswith("Version "))
        self.assertEqual(version["text"], "Version " + wanted)

        # On top of the main window: the screen shows the picture, except
        # where the button and the version lie over it. A slower build
        # paints later: the screen is looked at until it shows the picture or
        # a bounded time has passed.
        ox, oy = (int(n) for n in about["origin"].split(","))
        picture = rgb(RES / "about.png")
        ok = next(c for c in controls if c["text"] == "Ok")
        over = [ok["rect"], version["rect"]]
        uncovered = [i for i in range(300 * 200)
                     if not any(l <= i % 300 < l + w and t <= i // 300 < t + h for l, t, w, h in over)]

        def differ():
            shot = grab(ox, oy, 300, 200, self.artifact("about-window.png"))
            return sum(1 for i in uncovered if shot[i * 3:i * 3 + 3] != picture[i * 3:i * 3 + 3])
        poll(lambda: differ() < 300, "the screen to show the About picture", 10, 0.5)

        # the address area asks the shell to open the product's web page
        link = next(c for c in controls if c["class"] == "Static" and c["rect"] == (8, 110, 161, 17))
        self.mouse.click(*app.screen_point(about, link))
        poll(app.opened.exists, "the web page to be opened", 30)
        self.assertEqual(app.opened.read_text().split(), [PRODUCT_ADDRESS])
        self.assertEqual(app.about()[0]["visible"], "1", "About stays open")

        # Ok closes it; the main window then goes back to the tray
        self.mouse.click(*app.screen_point(about, ok))
        poll(lambda: app.about()[0]["visible"] == "0", "About to close")
        app.driver("wait-hidden")
        window = app.window()
        self.assertEqual(window["enabled"], "1")
        self.assertIsNone(app.process.poll(), "still running")
        self.click_icon(1)
        app.driver("wait-shown")


class ScaledProgram(TrayProgram):
    def muted(self):
        """The Mute check box wherever the scale puts it."""
        return self.control("Button", "Mute")["checked"] == "1"


@unittest.skipUnless(support.CORE_AUDIO, "needs the Core Audio stand-in: TARNBELL_AUDIO=coreaudio")
class FollowsTheSystem(TrayTest):
    """Another program, the stand-in's audioctl, changes Windows' audio as
    media keys, the volume flyout or a call program do: Tarnbell shows it
    within a second, in the tray whether the window is shown or not, and in
    the window while it is open."""

    hover_tooltip = TrayTooltip.hover_tooltip

    def setUp(self):
        super().setUp()
        support.reset_audio()

    @staticmethod
    def percent(position):
        return position * 100 // 65535

    def within_a_second(self, condition, what):
        """True in a look begun within a second: a look is a driver run,
        whose own start the slower build stretches."""
        deadline = time.time() + 1
        while True:
            begun = time.time()
            if condition():
                return
            if begun > deadline:
                raise AssertionError(f"not within a second: {what}")
            time.sleep(0.05)

    def shown_percent(self):
        return self.percent(self.app.slider())

    def test_level_and_mute_set_elsewhere(self):
        app = self.launch("TbFollow.exe")
        muted = Reference("tray_muted", self.tray.background, self.folder)
        support.audioctl("mute", "default", "on")
        self.within_a_second(lambda: differing_pixels(self.tray.grab_icon(self.artifact("follow-muted.png")),
                                                      muted.pixels, muted.opaque) == 0,
                             "the muted picture, the window hidden")
        self.assertTrue(app.muted())
        support.audioctl("level", "default", "0.29")
        self.within_a_second(lambda: self.shown_percent() == 29, "29 %, the window hidden")
        self.hover_tooltip("29%\\rDefault output")

        support.audioctl("mute", "default", "off")
        self.within_a_second(lambda: not app.muted(), "the mute to go, the window hidden")

        # the next press steps from there; the display agrees with Windows
        app.driver("level-gone", 5000)
        display = support.parse_state(app.driver("press", VK_ADD, 100, "--", "level", 3000)
                                      .replace("toplevel", "window", 1))[0]
        self.assertEqual(display["text"], "Default output 39%")
        self.assertEqual(round(support.audio_endpoint("Speakers")["level"] * 100), 39, "Windows shows 39 %")

        app.show_from_tray()
        support.audioctl("level", "default", "0.5")
        support.audioctl("mute", "default", "on")
        self.within_a_second(lambda: self.shown_percent() == 50 and app.muted(), "the slider and the Mute box")
        grab(*self.tray.geometry()[:2], 200, 40, self.artifact("follow-window-open.png"))

    def test_default_output_moved_elsewhere(self):
        app = self.launch("TbDefault.exe")
        support.audioctl("level", "Headphones", "0.37")
        self.assertEqual(self.shown_percent(), 100, "another output's level is not the default's")
        support.audioctl("default", "Headphones", "all")
        self.within_a_second(lambda: self.shown_percent() == 37, "the new default's level")
        self.hover_tooltip("37%\\rDefault output")

    def test_selected_output_unplugged_and_plugged_back(self):
        app = self.launch("TbUnplug.exe")
        app.show_from_tray()
        self.assertEqual(app.named("channel")["count"], "3")  # Default output, Headphones, Speakers
        app.pick("channel", 1)
        poll(lambda: app.named("channel")["text"] == "Headphones", "Headphones picked", 5)
        support.audioctl("unplug", "Headphones")
        self.within_a_second(lambda: (lambda c: (c["count"], c["cursel"], c["text"]))(app.named("channel"))
                             == ("2", "0", "Default output"), "Default output selected")
        before = self.shown_percent()
        display = support.parse_state(app.driver("press", VK_ADD, 100, "--", "level", 3000)
                                      .replace("toplevel", "window", 1))[0]
        self.assertEqual(display["text"], f"Default output {min(before + 10, 100)}%")
        support.audioctl("plug", "Headphones")
        self.within_a_second(lambda: app.named("channel")["count"] == "3", "Headphones listed again")
        self.assertEqual(app.named("channel")["text"], "Default output")

    def test_every_microphone_muted_elsewhere(self):
        app = self.launch("TbMics.exe")
        app.show_from_tray()
        app.arrow_keys("mic_key", VK_DOWN, 59)
        app.wait_ini("MicMute=59", "Numpad / picked with the keys")
        app.click("Background")
        app.driver("wait-hidden")
        # Under Xvfb the hide holds the program's thread a while (Wine, not
        # Windows): the second starts once it answers a message again.
        app.slider()
        support.audioctl("mute-mics", "on")
        self.within_a_second(lambda: app.driver("tray-icon", 105).strip() == "1", "the microphone icon")
        support.audioctl("mute-mics", "off")
        self.within_a_second(lambda: app.driver("tray-icon", 105).strip() == "0", "the microphone icon to go")


class DisplayScale(TrayTest):
    """Started at 150 % and 200 % display scale (Wine's system DPI), in a Wine
    prefix of its own so that no other test sees the scale, on an Xvfb
    screen of its own that holds the larger window."""

    CLIENT = {144: (741, 711), 192: (988, 948)}  # the 494 x 474 design, scaled

    @classmethod
    def setUpClass(cls):
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "2048x1536x24", "-nolisten", "tcp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        cls.addClassCleanup(lambda: (xvfb.terminate(), xvfb.wait(), xvfb.stdout.close()))
        display = xvfb.stdout.readline().strip()  # written once the server is ready
        saved = dict(os.environ)
        cls.addClassCleanup(lambda: (os.environ.clear(), os.environ.update(saved)))
        prefix = os.environ["WINEPREFIX"] + "-scaled"
        os.environ.update(DISPLAY=f":{display}", WINEPREFIX=prefix, TARNBELL_WINEPREFIX=prefix)
        cls.addClassCleanup(lambda: subprocess.run(["wineserver", "-k"], check=False))
        subprocess.run(["bash", "-c", f'. "{HERE.parent.parent}/scripts/wine-env.sh" && tarnbell_init_prefix'],
                       check=True, timeout=600)

    def check_scale(self, dpi):
        support.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", dpi,
                  "/f")
        subprocess.run(["wineserver", "-k"], check=False)  # a new server reads the new scale
        subprocess.run(["wineserver", "-w"], check=False)
        app = self.app = ScaledProgram(self.folder, f"TbScale{dpi}.exe").start()
        self.tray = app.find_icon()
        self.mouse = app.mouse
        app.wait_ready()

        # the tray shows the image drawn for the scaled small-icon size
        size = 16 * dpi // 96
        x, y, _, height = Tray.geometry()
        border = (height - size) // 2
        name = "tray_muted" if app.muted() else "tray_normal"
        reference = Reference(name, self.tray.background, self.folder, size)
        poll(lambda: differing_pixels(grab(x + self.tray.index * height + border, y + border, size, size,
                                           self.artifact(f"tray-{dpi}.png")), reference.pixels, reference.opaque) == 0,
             f"the tray to show the {size} px image", 10)

        self.click_icon(1)
        app.driver("wait-shown")
        window, controls = support.parse_state(app.driver("state"))
        self.assertEqual(tuple(int(n) for n in window["client"].split(",")), self.CLIENT[dpi])
        ox, oy = (int(n) for n in window["origin"].split(","))
        grab(ox, oy, *self.CLIENT[dpi], self.artifact(f"main-window-{dpi}.png"))

        # every control inside the window and inside the group box it lies in; none over another
        def box(c):
            left, top, width, height = c["rect"]
            return left, top, left + width, top + height
        groups = [box(c) for c in controls if c["class"] == "Button" and c["text"] in
                  ("Volume", "Channel", "Hotkey", "Adjustment Range")]
        others = [box(c) for c in controls if box(c) not in groups]
        def inside(a, b):
            return a[0] >= b[0] and a[1] >= b[1] and a[2] <= b[2] and a[3] <= b[3]
        def meet(a, b):
            return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]
        for c in others:
            self.assertTrue(inside(c, (0, 0) + self.CLIENT[dpi]), c)
            self.assertTrue(all(inside(c, g) for g in groups if meet(c, g)), c)
            self.assertEqual([o for o in others if o != c and meet(c, o)], [], c)

        # the About window and its picture scale alike
        app.click("About")
        about, parts = poll(lambda: (lambda s: s if s[0]["visible"] == "1" else None)(app.about()), "About")
        self.assertEqual(about["client"], "%d,%d" % (300 * dpi // 96, 200 * dpi // 96))
        ox, oy = (int(n) for n in about["origin"].split(","))
        time.sleep(0.5)  # only for the picture: drawn by now
        grab(ox, oy, 300 * dpi // 96, 200 * dpi // 96, self.artifact(f"about-window-{dpi}.png"))
        self.mouse.click(*app.screen_point(about, next(c for c in parts if c["text"] == "Ok")))
        poll(lambda: app.about()[0]["visible"] == "0", "About to close")

    def test_at_150_percent(self):
        self.check_scale(144)

    def test_at_200_percent(self):
        self.check_scale(192)


class Help(TrayTest):
    def help_windows(self):
        _, everything = self.app.own_windows()
        return [r for r in everything if r["class"] == "HH Parent"]

    def test_help_opens_the_help_file_and_without_it_nothing(self):
        app = self.launch("TbHelp.exe")
        self.click_icon(1)
        app.driver("wait-shown")
        self.assertEqual(self.help_windows(), [], "no help window yet")

        shutil.copy(support.BIN / "tarnbell.chm", app.folder)
        app.click("Help")
        shown = poll(self.help_windows, "the help window", 40)
        self.assertEqual([r["text"] for r in shown], ["Tarnbell Help"])
        self.assertEqual(shown[0]["program"].lower(), "hh.exe")
        app.driver("close-window", "HH Parent", "Tarnbell Help")
        poll(lambda: not self.help_windows(), "the help window to close", 30)

        (app.folder / "tarnbell.chm").unlink()
        before, _ = app.own_windows()
        app.click("Help")
        time.sleep(4)
        self.assertEqual(self.help_windows(), [])
        after, everything = app.own_windows()
        self.assertEqual(after, before, "nothing shown")
        self.assertFalse([r for r in everything if r["class"] == "#32770" and r["program"] == "TbHelp.exe"],
                         "no message box")
        self.assertIsNone(app.process.poll(), "still running")
        self.assertTrue(app.visible())


if __name__ == "__main__":
    unittest.main()
