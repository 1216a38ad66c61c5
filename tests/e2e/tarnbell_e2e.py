"""End-to-end tests: the real Tarnbell.exe under Wine and Xvfb, driven from
outside as a user would, with tbdriver.exe (keys through SendInput, controls
read with window messages).

Run through ctest; needs TARNBELL_BIN (the folder with Tarnbell.exe,
TarnMixer.dll, tarnmixer-list.exe and tbdriver.exe), TARNBELL_ARTIFACTS (where
screenshots go) and the project's Wine environment (scripts/wine-env.sh).
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

BIN = Path(os.environ.get("TARNBELL_BIN", "build/win32/bin"))
ARTIFACTS = Path(os.environ.get("TARNBELL_ARTIFACTS", "build/win32/e2e-artifacts"))
CLSID = "{E63081B5-5E90-43E2-A22D-83525CB1DC42}"

VK_ADD, VK_SUBTRACT, VK_MULTIPLY, VK_F5 = 0x6B, 0x6D, 0x6A, 0x74
WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP = 0x200, 0x202, 0x205
STEP = 65535 * 10 // 100

DEFAULT_INI = ("[Hotkey]\r\nPreVolumeUp=0\r\nVolumeUp=55\r\nPreVolumeDown=0\r\n"
               "VolumeDown=56\r\nPreMute=0\r\nMute=57\r\n[Step]\r\nStepUp=5\r\nStepDown=5\r\n")


def wine(*args, timeout=60, env=None):
    """Runs a Windows program to its end. Its output goes through files, not
    pipes: Wine's background services, started by whichever program comes
    first, inherit the handles and would keep a pipe open long after."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(["wine", *map(str, args)], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout, env=env)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode, out.read().decode(errors="replace"),
                                           err.read().decode(errors="replace"))


def unregister_component():
    """Leaves no registration of the component behind, so that a test can
    start the program where no component can be created."""
    wine("reg", "delete", rf"HKLM\Software\Classes\CLSID\{CLSID}", "/f")
    wine("reg", "delete", rf"HKCU\Software\Classes\CLSID\{CLSID}", "/f")


def parse_state(text):
    window, controls = None, []
    for line in text.splitlines():
        fields = dict(re.findall(r'(\w+)=("[^"]*"|\S+)', line))
        fields = {k: v.strip('"') for k, v in fields.items()}
        if "rect" in fields:
            fields["rect"] = tuple(int(n) for n in fields["rect"].split(","))
        if line.startswith("window"):
            window = fields
        elif line.startswith("control"):
            controls.append(fields)
    return window, controls


class Tarnbell:
    """One copy of the program in a folder of its own."""

    def __init__(self, folder, exe_name="Tarnbell.exe", with_component=True):
        self.folder = Path(folder)
        self.exe = self.folder / exe_name
        shutil.copy(BIN / "Tarnbell.exe", self.exe)
        if with_component:
            shutil.copy(BIN / "TarnMixer.dll", self.folder)
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["wine", str(self.exe)], cwd=self.folder,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def driver(self, *args, check=True, timeout=60):
        # Only this copy's window, even while a copy under another name runs.
        env = dict(os.environ, TBDRIVER_EXE=self.exe.name)
        result = wine(BIN / "tbdriver.exe", *args, timeout=timeout, env=env)
        if check and result.returncode != 0:
            raise AssertionError(f"tbdriver {args}: {result.returncode} {result.stderr}")
        return result.stdout

    def state(self):
        return parse_state(self.driver("state"))

    def control(self, cls, text=None, left=None, top=None):
        _, controls = self.state()
        for c in controls:
            if c["class"] == cls and (text is None or c["text"] == text) \
                    and (left is None or c["rect"][0] == left) and (top is None or c["rect"][1] == top):
                return c
        raise AssertionError(f"no {cls} {text!r} at {left},{top}")

    def slider(self):
        return int(self.control("msctls_trackbar32")["pos"])

    def muted(self):
        return self.control("Button", "Mute")["checked"] == "1"

    def click(self, text):
        self.driver("click", self.control("Button", text)["id"])

    def wait_until(self, condition, what, seconds=15):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return
            time.sleep(0.2)
        raise AssertionError(f"timed out waiting for {what}")

    def wait_ready(self):
        """Started, shown once and gone back to the notification area. The
        window is hidden before its first show too, so readiness is proven by
        a mute hotkey that takes effect (and a second one that undoes it)."""
        def started():
            result = wine(BIN / "tbdriver.exe", "state", env=dict(os.environ, TBDRIVER_EXE=self.exe.name))
            return result.returncode == 0 and parse_state(result.stdout)[0]["visible"] == "0" \
                and (self.folder / "TB.ini").exists()
        self.wait_until(started, "the program to start")
        muted = self.muted()
        deadline = time.time() + 30
        while self.muted() == muted:
            if time.time() > deadline:
                raise AssertionError("the mute hotkey never took effect")
            self.driver("press", VK_MULTIPLY)
            time.sleep(0.3)
        self.driver("press", VK_MULTIPLY)
        self.wait_until(lambda: self.muted() == muted, "mute to be restored")
        return self

    def show_from_tray(self):
        self.driver("tray", WM_LBUTTONUP)
        self.driver("wait-shown")

    def volume_to_zero(self):
        for _ in range(30):
            if self.slider() == 0:
                time.sleep(0.2)
                return
            self.driver("press", VK_SUBTRACT, 60, 4)
        raise AssertionError(f"the volume did not reach 0: {self.slider()}")

    def exit(self):
        self.click("Exit")
        self.process.wait(timeout=60)

    def kill(self):
        """Ends a copy a test left running: through Exit, so that its tray
        icon goes too (a killed program leaves a dead icon in Wine's tray);
        by force only if that fails."""
        if not self.process or self.process.poll() is not None:
            return
        try:
            self.exit()
        except Exception:
            self.process.kill()
            subprocess.run(["pkill", "-9", "-f", str(self.exe)], check=False)
            self.process.wait(timeout=30)

    def ini(self):
        return (self.folder / "TB.ini").read_bytes().decode("ascii")


class E2ETest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tarnbell-e2e-")
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def launch(self, sub="app", **kw):
        folder = Path(self.folder) / sub
        folder.mkdir()
        app = Tarnbell(folder, **kw)
        self.apps.append(app)
        return app.start()


class StartAndStop(E2ETest):
    def test_first_start_writes_defaults_and_hides(self):
        app = self.launch().wait_ready()
        self.assertEqual(app.ini(), DEFAULT_INI)
        window, _ = app.state()
        self.assertEqual(window["visible"], "0")
        self.assertEqual(app.driver("tray-icon").strip(), "1")

    def test_one_instance_per_file_name(self):
        first = self.launch("one").wait_ready()
        second = Tarnbell(first.folder)  # same folder, same file name
        second.start()
        self.assertEqual(second.process.wait(timeout=30), 0)
        self.assertIsNone(first.process.poll())

        renamed = self.launch("two", exe_name="Tarnbell2.exe")
        time.sleep(4)
        self.assertIsNone(renamed.process.poll(), "a copy under another name starts")
        self.assertTrue((renamed.folder / "TB.ini").exists())

    def test_close_box_and_background_hide_exit_saves(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.show_from_tray()
        app.driver("close")
        app.driver("wait-hidden")
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "a hotkey while hidden")

        app.show_from_tray()
        app.click("Background")
        app.driver("wait-hidden")
        self.assertIsNone(app.process.poll())

        (app.folder / "TB.ini").write_bytes(b"[Hotkey]\r\nPreVolumeUp=0\r\n")
        app.exit()
        self.assertEqual(app.ini(), DEFAULT_INI)

    def test_runs_without_the_component(self):
        unregister_component()
        app = self.launch(with_component=False).wait_ready()
        self.assertEqual(app.driver("tray-icon").strip(), "1")
        self.assertEqual(app.control("ComboBox", left=329)["count"], "0")
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "the slider to move without a component")
        app.exit()


class Hotkeys(E2ETest):
    def test_default_keys_step_and_mute(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "one 10 % step")
        listed = wine(BIN / "tarnmixer-list.exe").stdout
        self.assertIn("6553", listed, "the step reached the component")

        muted_before = app.muted()
        app.driver("press", VK_MULTIPLY)
        app.wait_until(lambda: app.muted() != muted_before, "mute to toggle")
        app.driver("press", VK_MULTIPLY)
        app.wait_until(lambda: app.muted() == muted_before, "mute to toggle back")

    def test_held_key_repeats(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        out = app.driver("hold", VK_ADD, 1500)
        moves = [int(t) for t in re.findall(r"move t=(\d+)", out)]
        self.assertGreaterEqual(len(moves), 4, out)
        self.assertLess(moves[0], 300, out)
        self.assertGreater(moves[1] - moves[0], 950, out)
        self.assertLess(moves[1] - moves[0], 1400, out)
        for a, b in zip(moves[1:], moves[2:]):
            self.assertGreater(b - a, 70, out)
            self.assertLess(b - a, 300, out)

    def test_new_hotkey_works_at_once_and_is_saved(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        key_list = app.control("ComboBox", left=205, top=134)  # volume up key
        app.driver("select", key_list["id"], 47)                 # "F5"
        self.assertIn("VolumeUp=47\r\n", app.ini())
        app.driver("press", VK_F5)
        app.wait_until(lambda: app.slider() == STEP, "F5 to raise the volume")
        app.driver("press", VK_ADD)
        time.sleep(1)
        self.assertEqual(app.slider(), STEP, "Numpad + no longer raises it")


class Window(E2ETest):
    # (class, text, left, top, width, height); None: sized by its text or font
    LAYOUT = [
        ("Button", "Volume", 21, 20, 276, 65),
        ("msctls_trackbar32", "", 36, 48, 186, 19),
        ("Button", "Mute", 235, 49, 51, 17),
        ("Button", "Channel", 314, 20, 159, 65),
        ("ComboBox", None, 329, 46, 130, None),
        ("Button", "Hotkey", 21, 106, 276, 133),
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
        ("Button", "Adjustment Range", 314, 106, 159, 133),
        ("Static", "Volume up", 338, 138, None, None),
        ("Static", "Volume down", 324, 170, None, None),
        ("ComboBox", "10%", 394, 134, 65, None),
        ("ComboBox", "10%", 394, 166, 65, None),
        ("Button", "Help", 21, 264, 75, 25),
        ("Button", "About", 112, 264, 75, 25),
        ("Button", "Background", 309, 264, 75, 25),
        ("Button", "Exit", 398, 264, 75, 25),
    ]

    def test_window_and_controls_as_designed(self):
        app = self.launch().wait_ready()
        app.show_from_tray()
        window, controls = app.state()
        self.assertEqual(window["client"], "494,314")
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

        slider = app.control("msctls_trackbar32")
        self.assertEqual((slider["min"], slider["max"]), ("0", "65535"))
        self.assertEqual(app.control("ComboBox", left=205, top=134)["count"], "59")
        self.assertEqual(app.control("ComboBox", left=101, top=134)["count"], "7")
        self.assertEqual(app.control("ComboBox", left=394, top=134)["count"], "9")


if __name__ == "__main__":
    unittest.main()
