"""End-to-end tests: the real Tarnbell.exe under Wine and Xvfb, driven from
outside only as a user can: keys and mouse through tbdriver.exe (SendInput),
controls read back with window messages, the settings file read from disk.
The window is brought up by a click on the program's icon in Wine's own tray
window ("Wine System Tray"), found by comparing screenshots. The helpers they
share with the other Wine-side tests are in tests/support/tarnbell_support.py.

Run through ctest, which gives the environment tarnbell_support needs.
"""
import html
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from tarnbell_support import (
    ARTIFACTS, BIN, CLSID, CORE_AUDIO, DEFAULT_INI, OFF_ROWS, STEP, SW_HIDE, SW_SHOWMINNOACTIVE, Tarnbell, VK_ADD,
    VK_CONTROL, VK_DELETE, VK_DOWN, VK_F4, VK_LEFT, VK_MENU, VK_MULTIPLY, VK_NEXT, VK_PRIOR,
    VK_RIGHT, VK_SHIFT, VK_SUBTRACT, VK_UP, Tray, grab, mixer_lines, parse_state, poll,
    registry_value, reset_audio, run, unregister_component, wine, VK_F5, audioctl, default_outputs)


class E2ETest(unittest.TestCase):
    def setUp(self):
        if CORE_AUDIO:  # Windows keeps the levels of the test before
            reset_audio()
        self.folder = tempfile.mkdtemp(prefix="tarnbell-e2e-")
        self.apps = []

    def tearDown(self):
        # the latest first: an icon that goes moves only those after it
        for app in reversed(self.apps):
            app.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def launch(self, sub="app", show=None, **kw):
        folder = Path(self.folder) / sub
        folder.mkdir()
        app = Tarnbell(folder, **kw)
        self.apps.append(app)
        return app.start(show)


class StartAndStop(E2ETest):
    def test_first_start_writes_defaults_and_hides(self):
        app = self.launch().wait_ready()
        self.assertEqual(app.ini(), DEFAULT_INI)
        window, _ = app.state()
        self.assertEqual(window["visible"], "0")
        self.assertEqual(app.driver("tray-icon").strip(), "1")

    def test_one_instance_per_file_name(self):
        first = self.launch("one").wait_ready()
        icons, _ = Tray.occupied_cells(self.folder, "tray-one")
        # the same file again, also as typed in another case in a console
        for name in ("Tarnbell.exe", "TARNBELL.EXE"):
            second = subprocess.Popen(["wine", str(first.folder / name)], cwd=first.folder,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(second.kill)
            self.assertEqual(second.wait(timeout=30), 0, name)
        self.assertIsNone(first.process.poll())
        self.assertEqual(Tray.occupied_cells(self.folder, "tray-one")[0], icons, "one tray icon")
        before = first.slider()
        first.driver("press", VK_SUBTRACT)
        poll(lambda: first.slider() == max(before - STEP, 0), "one step down")

        renamed = self.launch("two", exe_name="Tarnbell2.exe").wait_ready()
        self.assertIsNone(renamed.process.poll(), "a copy under another name starts")
        self.assertTrue((renamed.folder / "TB.ini").exists())

    def test_close_background_delete_and_exit_saves(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.show_from_tray()
        app.driver("press", f"{VK_MENU}+{VK_F4}")  # the close box has no title bar to sit in here
        app.driver("wait-hidden")
        app.driver("press", VK_ADD)
        poll(lambda: app.slider() == STEP, "a hotkey while hidden")

        app.show_from_tray()
        app.click("Background")
        app.driver("wait-hidden")
        self.assertIsNone(app.process.poll())

        # Delete in the edit field of "Volume up"'s key list: no entry is
        # chosen any more, Numpad + does nothing, and the file says so at once.
        app.show_from_tray()
        app.driver("click-control", app.id("up_key"), "--", "press", VK_DELETE)
        app.wait_ini("VolumeUp=-1", "an edited list")
        key_list = app.named("up_key")
        self.assertEqual(key_list["cursel"], "-1")
        self.assertNotIn(key_list["text"], ("Numpad +", ""), "a character went at the caret")
        # Actions are handled in the order of the presses: once the mute
        # press after it has taken effect, Numpad + had its chance.
        app.driver("press", VK_ADD)
        muted = app.muted()
        app.toggle_mute(not muted, "a mute press after Numpad +")
        app.toggle_mute(muted, "mute to be restored")
        self.assertEqual(app.slider(), STEP, "the emptied hotkey never fires")

        (app.folder / "TB.ini").write_bytes(b"[Hotkey]\r\nPreVolumeUp=0\r\n")
        app.exit()
        self.assertEqual(app.ini(), DEFAULT_INI.replace("VolumeUp=55", "VolumeUp=-1"), "Exit saves once more")

        # the next start brings the default key back
        again = Tarnbell(app.folder)
        self.apps.append(again)
        again.start().wait_ready()
        self.assertEqual(again.named("up_key")["text"], "Numpad +")
        if again.slider() > 65535 - STEP:  # room for a step up
            again.driver("press", VK_SUBTRACT)
            poll(lambda: again.slider() <= 65535 - STEP, "a step down")
        before = again.slider()
        again.driver("press", VK_ADD)
        poll(lambda: again.slider() == before + STEP, "Numpad + to work again")
        again.exit()
        self.assertEqual(again.ini(), DEFAULT_INI)

    def test_started_hidden_or_minimised_by_a_launcher(self):
        for show, name in ((SW_HIDE, "hidden"), (SW_SHOWMINNOACTIVE, "minimised")):
            with self.subTest(name):
                app = self.launch(name, show).wait_ready()  # a hotkey works before any click
                app.show_from_tray()
                window = app.state()[0]
                self.assertEqual(window["client"], "494,474")
                left, top, width, height = window["rect"]
                sw, sh = (int(n) for n in window["screen"].split(","))
                self.assertEqual((left, top), ((sw - width) // 2, (sh - height) // 2))
                app.exit()

    def test_folder_named_in_any_language(self):
        app = self.launch("Дмитрий 音量").wait_ready()
        self.assertEqual(app.named("channel")["count"], "2", "the component beside it works")
        registered = registry_value(rf"HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{CLSID}\InprocServer32")
        self.assertEqual(registered.lower(), "z:" + str(app.folder / "TarnMixer.dll").replace("/", "\\").lower())
        app.show_from_tray()
        app.pick("step_up", 4)
        app.wait_ini("StepUp=4", "a step picked in a folder named in any language")
        shutil.copy(BIN / "tarnbell.chm", app.folder)
        app.click("Help")
        poll(lambda: 'class="HH Parent"' in app.driver("windows"), "the help window", 40)
        app.driver("close-window", "HH Parent", "Tarnbell Help")
        app.exit()
        self.assertEqual(app.ini(), DEFAULT_INI.replace("StepUp=5", "StepUp=4"))

    def test_runs_without_the_component(self):
        unregister_component()
        app = self.launch(with_component=False).wait_ready()
        self.assertEqual(app.driver("tray-icon").strip(), "1")
        self.assertEqual(app.named("channel")["count"], "0")
        shown = app.driver("press", VK_ADD, "--", "level", 3000)
        self.assertIn('text="Volume No output"', shown, "a press says the volume reaches nothing")
        poll(lambda: app.slider() == STEP, "the slider to move without a component")
        app.exit()


class Hotkeys(E2ETest):
    def test_default_keys_step_mute_and_repeat(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.driver("press", VK_ADD)
        poll(lambda: app.slider() == STEP, "one 10 % step")

        muted_before = app.muted()
        app.driver("press", VK_MULTIPLY)
        poll(lambda: app.muted() != muted_before, "mute to toggle")
        app.driver("press", VK_MULTIPLY)
        poll(lambda: app.muted() == muted_before, "mute to toggle back")

        # the step reached the component: the first line reads it back
        app.show_from_tray()
        self.assertEqual(app.round_trip()[1], (STEP, muted_before))
        app.click("Background")
        app.driver("wait-hidden")

        app.volume_to_zero()
        out = app.driver("hold", VK_ADD, 1500)
        moves = [int(t) for t in re.findall(r"move t=(\d+)", out)]
        self.assertGreaterEqual(len(moves), 4, out)
        self.assertLess(moves[0], 300, out)
        self.assertGreater(moves[1] - moves[0], 950, out)
        self.assertLess(moves[1] - moves[0], 1400, out)
        # Repeats come 80 ms apart by the program's clock. The driver sees a
        # move a little late, by as much as the machine's load makes it, so a
        # single gap can look shorter; their mean cannot.
        gaps = [b - a for a, b in zip(moves[1:], moves[2:])]
        self.assertGreater(sum(gaps) / len(gaps), 75, out)
        for gap in gaps:
            self.assertGreater(gap, 40, out)
            self.assertLess(gap, 300, out)


def chord(keys):
    return "+".join(str(k) for k in keys)


class Lists(E2ETest):
    """Every list picked as a person picks: the arrow clicked and an entry
    clicked, or the arrow keys in the focused list. The choice takes effect
    at once, and the settings file holds it before Exit."""

    MODIFIERS = {0: [], 1: [VK_CONTROL], 3: [VK_SHIFT], 5: [VK_CONTROL, VK_SHIFT]}
    # action, ini key, list, entry picked with the mouse, arrow key and
    # presses, the entry they reach. A binding fires while more keys than
    # its own are held, so no new hotkey is part of the one before it.
    HOTKEY_PICKS = [
        ("up", "PreVolumeUp", "up_modifier", 1, VK_DOWN, 2, 3),
        ("up", "VolumeUp", "up_key", 47, VK_DOWN, 1, 48),          # F5, then F6
        ("down", "PreVolumeDown", "down_modifier", 1, VK_DOWN, 4, 5),
        ("down", "VolumeDown", "down_key", 49, VK_DOWN, 1, 50),    # F7, then F8
        ("mute", "PreMute", "mute_modifier", 3, VK_DOWN, 2, 5),
        ("mute", "Mute", "mute_key", 44, VK_DOWN, 1, 45),          # F2, then F3
    ]
    KEY_CODES = {44: 0x71, 45: 0x72, 47: 0x74, 48: 0x75, 49: 0x76, 50: 0x77}

    def hotkey_effect(self, app, action, old, new):
        """Presses the old hotkey, then the new one: exactly one action
        follows, the new one's (the detector keeps the order of presses)."""
        before = app.muted() if action == "mute" else app.slider()
        app.driver("press", chord(old), "--", "press", chord(new))
        if action == "mute":
            poll(lambda: app.muted() != before, f"{chord(new)} to toggle mute, {chord(old)} not", 5)
        else:
            wanted = before + (STEP if action == "up" else -STEP)
            poll(lambda: app.slider() == wanted, f"{chord(new)} to move the volume one step "
                           f"to {wanted}, {chord(old)} not ({app.slider()})", 5)

    def test_each_hotkey_list_by_mouse_and_by_keyboard(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.show_from_tray()
        hotkeys = {"up": ([], VK_ADD), "down": ([], VK_SUBTRACT), "mute": ([], VK_MULTIPLY)}
        for action, ini_key, name, picked, arrow, presses, reached in self.HOTKEY_PICKS:
            for how, index in (("mouse", picked), ("keys", reached)):
                app.choose(name, how, index, arrow, presses)
                app.wait_ini(f"{ini_key}={index}", f"{name} by {how}")
                modifiers, key = hotkeys[action]
                old = modifiers + [key]
                if "modifier" in name:
                    modifiers = self.MODIFIERS[index]
                else:
                    key = self.KEY_CODES[index]
                hotkeys[action] = (modifiers, key)
                self.hotkey_effect(app, action, old, modifiers + [key])
                self.assertEqual(app.named(name)["cursel"], str(index))
        app.exit()
        self.assertEqual(app.ini(), "[Hotkey]\r\nPreVolumeUp=3\r\nVolumeUp=48\r\nPreVolumeDown=5\r\n"
                         "VolumeDown=50\r\nPreMute=5\r\nMute=45\r\n" + OFF_ROWS + "[Step]\r\nStepUp=5\r\nStepDown=5\r\n"
                         "[Display]\r\nShowLevel=1\r\nTrayWheel=1\r\n")

    def test_step_lists_by_mouse_and_by_keyboard(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.show_from_tray()
        position = 0
        # list, ini key, hotkey, sign, entry picked with the mouse, arrow
        # key and presses, the entry they reach; entries 0..8 are 1, 2, 3,
        # 4, 5, 10, 20, 30 and 50 %
        percent = [1, 2, 3, 4, 5, 10, 20, 30, 50]
        for name, ini_key, hotkey, sign, picked, arrow, presses, reached in [
                ("step_up", "StepUp", VK_ADD, 1, 4, VK_DOWN, 2, 6),
                ("step_down", "StepDown", VK_SUBTRACT, -1, 0, VK_DOWN, 3, 3)]:
            for how, index in (("mouse", picked), ("keys", reached)):
                app.choose(name, how, index, arrow, presses)
                app.wait_ini(f"{ini_key}={index}", f"{name} by {how}")
                position += sign * (percent[index] * 65535 // 100)
                app.driver("press", hotkey)
                poll(lambda: app.slider() == position, f"a {percent[index]} % step to {position}", 5)
        self.assertEqual(app.round_trip()[1][0], position, "the last step reached the component")


class VolumeControls(E2ETest):
    """The Channel list, the slider and Mute, used with the mouse and the
    keys. Under Wine's own audio a value the program writes to a line is not
    seen by other processes, and the device's second line (its source line)
    keeps no value at all; so what the component holds is read back through
    the program: a switch to the second line and back reads the first line's
    volume and mute from the component. On Core Audio the lines are "Default
    output" and the outputs by name (Headphones, Speakers)."""

    def test_channel_slider_and_mute_reach_the_component(self):
        app = self.launch().wait_ready()
        app.show_from_tray()
        lines = mixer_lines()
        count = 3 if CORE_AUDIO else 2
        self.assertEqual(len(lines), count, "two lines under Wine's audio; the default and two outputs")
        self.assertEqual(app.named("channel")["count"], str(count))
        self.assertEqual(app.slider(), lines[0], "the first line is selected at start")
        first = [lines[0], app.muted()]

        # The second line picked with the mouse: the window shows its volume,
        # and a hotkey acts on it.
        app.pick("channel", 1)
        poll(lambda: app.slider() == lines[1], f"the second line's volume {lines[1]}")
        second = (lines[1], app.muted())
        key, change = (VK_ADD, STEP) if lines[1] < 65535 - STEP else (VK_SUBTRACT, -STEP)
        app.driver("press", key)
        poll(lambda: app.slider() == lines[1] + change, "the hotkey to move the second line")
        if CORE_AUDIO:  # an output keeps its level; Wine's source line keeps none
            second = (lines[1] + change, second[1])

        # The first line by the keyboard: the hotkey left it alone, and later
        # hotkeys and Mute act on it.
        app.arrow_keys("channel", VK_UP, 1)
        poll(lambda: app.slider() == first[0], f"the first line's volume {first[0]}, unchanged")
        self.assertEqual(app.muted(), first[1])
        key, change = (VK_ADD, STEP) if first[0] < 65535 - STEP else (VK_SUBTRACT, -STEP)
        app.driver("press", key)
        first[0] += change
        poll(lambda: app.slider() == first[0], "the hotkey to move the first line")
        app.click("mute")
        first[1] = not first[1]
        self.assertEqual(app.muted(), first[1])
        self.assertEqual(app.round_trip(), [second, tuple(first)], "the hotkey and Mute reached the first line")

        # The slider: its thumb dragged with the mouse, then the arrow and
        # Page keys (a click on the thumb gives it the focus and moves
        # nothing). Every change reaches the line.
        slider = app.named("slider")
        ox, oy = (int(n) for n in app.state()[0]["origin"].split(","))
        left, top, width, height = slider["rect"]
        y = oy + top + height // 2

        def thumb_x(position):
            # Wine's track runs 6 pixels in from either end; its thumb is 7 wide
            return ox + left + 6 + 3 + (width - 12 - 7) * position // 65535

        target = 65535 // 4 if first[0] > 65535 // 2 else 65535 * 3 // 4
        app.driver("drag", thumb_x(first[0]), y, thumb_x(target), y)
        self.assertLess(abs(app.slider() - target), 65535 // 50, "the thumb follows the mouse")
        first[0] = app.slider()
        self.assertEqual(app.round_trip(), [second, tuple(first)], "the drag reached the component")
        for key, change in ((VK_RIGHT, 1), (VK_NEXT, 13107), (VK_LEFT, -1), (VK_PRIOR, -13107)):
            app.driver("click", thumb_x(first[0]), y, "--", "press", key)
            first[0] += change
            poll(lambda: app.slider() == first[0], f"key {key:#x} to move the slider to {first[0]}", 5)
            self.assertEqual(app.round_trip()[1], tuple(first), f"key {key:#x} reached the component")
        app.exit()

    def test_each_step_and_each_show_read_the_line_again(self):
        """The second line keeps no value (see above), like a line another
        program sets back at once: each step starts from what it reports, and
        showing the window reads it again and keeps the chosen entry (both
        entries are named "Master Volume")."""
        app = self.launch().wait_ready()
        app.show_from_tray()
        lines = mixer_lines()
        app.pick("channel", 1)
        poll(lambda: app.slider() == lines[1], f"the second line's volume {lines[1]}")
        key, change = (VK_ADD, STEP) if lines[1] < 65535 - 2 * STEP else (VK_SUBTRACT, -STEP)
        muted = app.muted()
        # actions are handled in order: the mute toggle follows both steps
        app.driver("press", key, "--", "press", key, "--", "press", VK_MULTIPLY)
        poll(lambda: app.muted() != muted, "the mute hotkey after two steps")
        self.assertEqual(app.slider(), lines[1] + change, "the second step went from the line's volume")

        app.click("Background")
        app.driver("wait-hidden")
        app.show_from_tray()
        channel = app.named("channel")
        self.assertEqual((channel["cursel"], channel["count"]), ("1", "2"), "the chosen entry kept")
        self.assertEqual(app.slider(), lines[1], "the line's volume read again")
        app.exit()


class LevelOnScreen(E2ETest):
    def see_level(self, app, key, shot):
        """The level display after a press of `key`, and the window in front
        then; the display is gone within 3 s."""
        out = app.driver("press", key, "--", "level", 3000, "--", "focus")
        pressed = time.time()
        display = parse_state(out.replace("toplevel", "window", 1))[0]
        front = re.search(r"foreground=(.*) active=", out).group(1)
        left, top, width, height = display["rect"]
        grab(left - 80, top - 50, width + 160, height + 90, ARTIFACTS / shot)
        app.driver("level-gone", 3000)
        self.assertLess(time.time() - pressed, 3, "the display is gone within 3 s")
        return display, front

    def test_level_after_hotkeys_over_the_window_in_front_and_its_box(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        channel = app.named("channel")["text"]
        sw, sh = (int(n) for n in run("xdotool", "getdisplaygeometry").split())
        notepad = subprocess.Popen(["wine", "notepad"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(notepad.kill)
        poll(lambda: 'foreground=Notepad/' in app.driver("focus"), "notepad in front", 60)
        run("xdotool", "search", "--onlyvisible", "--name", "Notepad", "windowsize", "%@", sw - 20, sh - 30)
        app.driver("level-gone")

        display, front = self.see_level(app, VK_ADD, "level-display.png")
        self.assertEqual(display["text"], f"{channel} {STEP * 100 // 65535}%")
        self.assertTrue(front.startswith("Notepad/"), f"the window in front keeps the focus: {front}")
        left, top, width, height = display["rect"]
        self.assertEqual(left, (sw - width) // 2, "centred")
        self.assertTrue(sh // 2 < top < sh - height, f"near the bottom of the screen: {display['rect']}")
        muted, _ = self.see_level(app, VK_MULTIPLY, "level-display-muted.png")
        self.assertEqual((muted["text"], muted["rect"]), (f"{channel} Muted", display["rect"]))
        self.assertEqual(self.see_level(app, VK_MULTIPLY, "level-display-unmuted.png")[0]["text"], display["text"])
        notepad.kill()  # it covers the tray
        notepad.wait(30)

        app.show_from_tray()
        app.click("Show level on screen")
        app.wait_ini("ShowLevel=0", "the box unticked")
        app.click("Background")
        app.driver("wait-hidden")
        app.driver("press", VK_ADD)
        poll(lambda: app.slider() == 2 * STEP, "Numpad + with the box unticked")
        self.assertEqual(app.driver("level", check=False), "", "no display once unticked")
        app.exit()
        self.assertIn("[Display]\r\nShowLevel=0\r\n", app.ini())

    def test_output_key_makes_the_next_output_the_default_for_every_role(self):
        app = self.launch().wait_ready()
        app.show_from_tray()
        app.pick("output_key", 48)
        app.wait_ini("NextOutput=48", "F5 picked for the output")
        app.click("Background")
        app.driver("wait-hidden")
        app.slider()  # answers again once Wine lets go of the hidden window
        refused = "Windows does not let programs choose the default output here"
        if not CORE_AUDIO:
            channel, level = app.named("channel")["text"], app.slider()
            self.assertEqual(self.see_level(app, VK_F5, "level-display-output-refused.png")[0]["text"], refused)
            self.assertEqual((app.named("channel")["text"], app.slider()), (channel, level))
            return
        every_role = ["console", "multimedia", "communications"]
        audioctl("level", "Headphones", "0.3")
        shown = self.see_level(app, VK_F5, "level-display-output.png")[0]["text"]
        self.assertEqual((shown, default_outputs()), ("Headphones 30%", {"Headphones": every_role}))
        # what follows the default follows it
        poll(lambda: app.slider() == (30 * 65535 + 99) // 100, "the slider on the headphones' level")
        shown = self.see_level(app, VK_F5, "level-display-output-back.png")[0]["text"]
        self.assertEqual((shown, default_outputs()), ("Speakers 100%", {"Speakers": every_role}))

        audioctl("policyconfig", "off")
        self.assertEqual(self.see_level(app, VK_F5, "level-display-output-refused.png")[0]["text"], refused)
        self.assertEqual(default_outputs(), {"Speakers": every_role})


class Window(E2ETest):
    # (class, text, left, top, width, height); None: sized by its text or font
    LAYOUT = [
        ("Button", "Volume", 21, 20, 276, 65),
        ("msctls_trackbar32", "", 36, 48, 186, 19),
        ("Button", "Mute", 235, 49, 51, 17),
        ("Button", "Channel", 314, 20, 159, 65),
        ("ComboBox", None, 329, 46, 130, None),
        ("Button", "Hotkey", 21, 106, 276, 293),
        ("Static", "Volume up", 45, 138, None, None),
        ("Static", "Volume down", 31, 170, None, None),
        ("Static", "Mute", 71, 202, None, None),
        ("ComboBox", "<None>", 101, 134, 81, None),
        ("ComboBox", "<None>", 101, 166, 81, None),
        ("ComboBox", "<None>", 101, 198, 81, None),
        ("Static", "+", 187, 132, None, None),
        ("Static", "+", 187, 165, None, None),
        ("Static", "+", 187, 197, None, None),
        ("ComboBox", "Numpad +", 205, 134, 81, None),
        ("ComboBox", "Numpad -", 205, 166, 81, None),
        ("ComboBox", "Numpad *", 205, 198, 81, None),
        ("Static", "Microphone", 39, 234, None, None),
        ("ComboBox", "<None>", 101, 230, 81, None),
        ("Static", "+", 187, 229, None, None),
        ("ComboBox", "<None>", 205, 230, 81, None),
        ("Button", "Adjustment Range", 314, 106, 159, 293),
        ("Static", "Volume up", 338, 138, None, None),
        ("Static", "Volume down", 324, 170, None, None),
        ("ComboBox", "10%", 394, 134, 65, None),
        ("ComboBox", "10%", 394, 166, 65, None),
        ("Button", "Help", 21, 424, 75, 25),
        ("Button", "About", 112, 424, 75, 25),
        ("Button", "Background", 309, 424, 75, 25),
        ("Button", "Exit", 398, 424, 75, 25),
        ("Button", "Show level on screen", 21, 403, 140, 17),
        ("Button", "Scroll over the tray icon changes the volume", 176, 403, 297, 17),
    ] + [control for label, left, top in (("Output", 63, 266), ("App up", 61, 298), ("App down", 47, 330),
                                          ("App mute", 50, 362))
         for control in (("Static", label, left, top, None, None), ("ComboBox", "<None>", 101, top - 4, 81, None),
                         ("Static", "+", 187, top - 5, None, None), ("ComboBox", "<None>", 205, top - 4, 81, None))]

    def test_window_and_controls_as_designed(self):
        app = self.launch().wait_ready()
        app.show_from_tray()
        window, controls = app.state()
        self.assertEqual(window["client"], "494,474")
        self.assertTrue(int(window["exstyle"], 16) & 0x8, "always on top")
        style = int(window["style"], 16)
        self.assertFalse(style & 0x00040000, "fixed border")
        self.assertFalse(style & 0x00030000, "no minimise or maximise box")
        left, top, width, height = window["rect"]
        sw, sh = (int(n) for n in window["screen"].split(","))
        self.assertEqual((left, top), ((sw - width) // 2, (sh - height) // 2))

        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        shot = ARTIFACTS / "main-window.png"
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}", str(shot)],
                       check=True)
        print(f"\nscreenshot of the main window: {shot}")

        unmatched = list(controls)
        for cls, text, x, y, w, h in self.LAYOUT:
            match = next((c for c in unmatched if c["class"] == cls and c["rect"][:2] == (x, y)
                          and (text is None or c["text"] == text)), None)
            self.assertIsNotNone(match, f"{cls} {text!r} at {x},{y}")
            if w is not None:
                self.assertEqual(match["rect"][2], w, f"width of {cls} {text!r}")
            if h is not None:
                self.assertEqual(match["rect"][3], h, f"height of {cls} {text!r}")
            unmatched.remove(match)
        self.assertEqual(unmatched, [], "no controls beyond the designed ones")

        # An opened list lies over the window, below its box, its entry marked.
        key_list = app.named("up_key")
        kl, kt, kw, kh = key_list["rect"]
        ox, oy = (int(n) for n in window["origin"].split(","))
        app.driver("click", ox + kl + kw - 8, oy + kt + kh // 2)
        def dropped_rect():
            lines = [line for line in app.driver("windows").splitlines()
                     if 'class="ComboLBox"' in line and "own=1" in line]
            return parse_state(lines[0].replace("toplevel", "window", 1))[0]["rect"] if lines else None
        # Wine shows the list first and places it a moment later: read it once it keeps still.
        def settled():
            first = dropped_rect()
            time.sleep(0.2)
            return first if first and dropped_rect() == first else None
        dl, dt, dw, dh = poll(settled, "the list to open", 5)
        self.assertEqual((dl, dt, dw), (ox + kl, oy + kt + kh, kw), "the list opens below its box")
        grab(left, top, width, max(height, dt + dh - top), ARTIFACTS / "main-window-list-open.png")
        print(f"screenshot of an opened list: {ARTIFACTS / 'main-window-list-open.png'}")
        app.driver("click", ox + kl + kw - 8, oy + kt + kh // 2)  # closed again, nothing picked
        poll(lambda: 'class="ComboLBox"' not in app.driver("windows"), "the list to close", 5)
        self.assertEqual(app.named("up_key")["cursel"], "55")

        slider = app.control("msctls_trackbar32")
        self.assertEqual((slider["min"], slider["max"]), ("0", "65535"))
        self.assertEqual(app.control("ComboBox", left=205, top=134)["count"], "59")
        self.assertEqual(app.control("ComboBox", left=205, top=230)["count"], "60")
        self.assertEqual(app.control("ComboBox", left=101, top=134)["count"], "7")
        self.assertEqual(app.control("ComboBox", left=394, top=134)["count"], "9")


class ScriptHosts(unittest.TestCase):
    """TarnMixer.dll as a script meets it: registered with regsvr32 and
    created by its names from Wine's own VBScript and JScript engines, which
    run the help page's examples as a user would copy them. Wine's cscript
    ends with 0 and prints nothing when a script fails, so each run is judged
    by what it printed. Under Wine a volume lasts only as long as the process
    that set it, so each example runs after a start of its own in the same
    script, which gives the first line a volume that a raise can show."""

    SOURCE = Path(__file__).resolve().parents[2]
    SCRIPTS = {"vbscript": ("volume.vbs", 'Set start = CreateObject("TarnMixer.AudioMixer.1")\n'
                            'start.srcOutput = 0\nstart.srcVolume = 1000\nstart.srcMute = False\n'),
               "javascript": ("volume.js", 'var start = new ActiveXObject("TarnMixer.AudioMixer.1");\n'
                              'start.srcOutput = 0;\nstart.srcVolume = 1000;\nstart.srcMute = false;\n')}
    # Whether each name creates the component: 0, or VBScript's error number.
    PROBE = "".join(f'On Error Resume Next\nSet mixer = CreateObject("{name}")\nWScript.Echo Err.Number\n'
                    "Err.Clear\n" for name in ("TarnMixer.AudioMixer", "TarnMixer.AudioMixer.1"))

    def examples(self):
        page = (self.SOURCE / "help" / "scripting.htm").read_text(encoding="cp1252")
        found = {kind: html.unescape(code).lstrip("\n")
                 for kind, code in re.findall(r'<pre class="(\w+)">(.*?)</pre>', page, re.S)}
        readme = (self.SOURCE / "README.md").read_text(encoding="utf-8")
        shown = re.findall(r"^```(\w+)\n(.*?)^```", readme, re.S | re.M)
        self.assertEqual({k for k, _ in shown} & set(found), {"vbscript", "powershell", "autohotkey"})
        for kind, code in shown:
            self.assertEqual(code, found.get(kind, code), f"the README's {kind} example is the help page's")
        return found

    @staticmethod
    def windows_path(path):
        """A path starting with "/" would read as one of the tools' options."""
        return "Z:" + str(path).replace("/", "\\")

    def cscript(self, folder, name, text):
        path = Path(folder) / name
        path.write_text(text.replace("\n", "\r\n"), encoding="cp1252")
        done = wine("cscript", "//nologo", self.windows_path(path), timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.splitlines()

    def test_help_examples_drive_the_volume_by_name_until_unregistered(self):
        examples = self.examples()
        dll = self.windows_path(BIN.resolve() / "TarnMixer.dll")
        with tempfile.TemporaryDirectory() as folder:
            self.assertEqual(wine("regsvr32", "/s", dll).returncode, 0)
            listed = wine(BIN / "tarnmixer.exe", "list").stdout.split("* Device")[1].split("Device")[0]
            names = re.findall(r'Line \d+: [\w ]+, "([^"]*)"', listed)
            self.assertTrue(names, listed)
            self.assertEqual(self.cscript(folder, "probe.vbs", self.PROBE), ["0", "0"])
            for kind, (name, start) in self.SCRIPTS.items():
                mute = "True" if kind == "vbscript" else "true"
                printed = self.cscript(folder, name, start + examples[kind])
                # The example's own object reads what the system keeps of the
                # start's 1000: Wine's winmm may round it one unit either way;
                # Core Audio keeps it as a level at the percent Windows shows.
                volume = printed.pop(-2) if len(printed) >= 2 else ""
                self.assertRegex(volume, r"^Volume: \d+$", kind)
                kept = int(volume.split()[1]) - STEP
                if CORE_AUDIO:
                    self.assertEqual(kept * 100 // 65535, 1000 * 100 // 65535, kind)
                else:
                    self.assertAlmostEqual(kept, 1000, delta=1, msg=kind)
                self.assertEqual(printed, [f"{i}: {n}" for i, n in enumerate(names)]
                                 + [f"Mute: {mute}"], kind)

            self.assertEqual(wine("regsvr32", "/u", "/s", dll).returncode, 0)
            self.assertEqual(self.cscript(folder, "probe.vbs", self.PROBE), ["429", "429"])
            for kind, (name, _) in self.SCRIPTS.items():
                self.assertEqual(self.cscript(folder, name, examples[kind]), [], kind)


if __name__ == "__main__":
    unittest.main()
