"""End-to-end tests: the real Tarnbell.exe under Wine and Xvfb, driven from
outside only as a user can: keys and mouse through tbdriver.exe (SendInput),
controls read back with window messages, the settings file read from disk.
The window is brought up by a click on the program's icon in Wine's own tray
window ("Wine System Tray"), found by comparing screenshots.

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
TRAY_TITLE = "Wine System Tray"

VK_ADD, VK_SUBTRACT, VK_MULTIPLY, VK_F5 = 0x6B, 0x6D, 0x6A, 0x74
VK_SHIFT, VK_CONTROL, VK_MENU, VK_F4, VK_DELETE = 0x10, 0x11, 0x12, 0x73, 0x2E
VK_PRIOR, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 0x21, 0x22, 0x25, 0x26, 0x27, 0x28
STEP = 65535 * 10 // 100

DEFAULT_INI = ("[Hotkey]\r\nPreVolumeUp=0\r\nVolumeUp=55\r\nPreVolumeDown=0\r\n"
               "VolumeDown=56\r\nPreMute=0\r\nMute=57\r\n[Step]\r\nStepUp=5\r\nStepDown=5\r\n")

# The window's controls by name: class, text (None: any) and position in the
# window's client area.
CONTROLS = {
    "slider": ("msctls_trackbar32", None, 36, 48),
    "mute": ("Button", "Mute", 235, 49),
    "channel": ("ComboBox", None, 329, 46),
    "up_modifier": ("ComboBox", None, 101, 134),
    "down_modifier": ("ComboBox", None, 101, 166),
    "mute_modifier": ("ComboBox", None, 101, 198),
    "up_key": ("ComboBox", None, 205, 134),
    "down_key": ("ComboBox", None, 205, 166),
    "mute_key": ("ComboBox", None, 205, 198),
    "step_up": ("ComboBox", None, 394, 134),
    "step_down": ("ComboBox", None, 394, 166),
}


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


def run(*args, timeout=60, check=True):
    """A Linux tool (xdotool, ImageMagick); its output."""
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise AssertionError(f"{args}: {result.returncode} {result.stderr}")
    return result.stdout


def poll(condition, what, seconds=20, interval=0.2):
    """The first true result of condition(); fails after `seconds`."""
    deadline = time.time() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.time() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(interval)


def unregister_component():
    """Leaves no registration of the component behind, so that a test can
    start the program where no component can be created."""
    wine("reg", "delete", rf"HKLM\Software\Classes\CLSID\{CLSID}", "/f")
    wine("reg", "delete", rf"HKCU\Software\Classes\CLSID\{CLSID}", "/f")


def mixer_lines():
    """Volume of each line of the device the component selects, as
    tarnmixer-list.exe (a process of its own) reports them."""
    listed = wine(BIN / "tarnmixer-list.exe").stdout
    return [int(v) for v in re.findall(r"^\s*\*?\s*Line \d+: valid, \"[^\"]*\", volume (\d+)", 
                                       listed.split("Device 1")[0], re.M)]


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


# ---- screen and tray ------------------------------------------------------------

def grab(x, y, width, height, path):
    """A screenshot of part of the screen, saved as PNG; returns its RGB bytes."""
    path.parent.mkdir(parents=True, exist_ok=True)
    run("import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage", path)
    return rgb(path)


def rgb(image):
    return subprocess.run(["convert", str(image), "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout


class Tray:
    """The icons in Wine's tray window: square cells as high as the window,
    each with its 16 x 16 image in the middle. An icon that goes moves the
    ones after it a cell to the left."""

    @staticmethod
    def geometry():
        found = run("xdotool", "search", "--onlyvisible", "--name", TRAY_TITLE, check=False).split()
        if not found:
            return None
        fields = dict(line.split("=", 1) for line in run("xdotool", "getwindowgeometry", "--shell",
                                                          found[0]).split())
        return tuple(int(fields[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    @classmethod
    def occupied_cells(cls, folder, name):
        """Indexes of the cells that hold an icon, judged by pixels that are
        not the tray's background."""
        geometry = cls.geometry()
        if geometry is None:
            return set(), None
        x, y, width, height = geometry
        pixels = grab(x, y, width, height, Path(folder) / f"{name}.png")
        background = pixels[0:3]
        cells = set()
        for index in range(width // height):
            for row in range(height):
                start = (row * width + index * height) * 3
                if any(pixels[i:i + 3] != background for i in range(start, start + height * 3, 3)):
                    cells.add(index)
                    break
        return cells, background

    def __init__(self, index, background):
        self.index = index
        self.background = background

    def icon_rect(self):
        x, y, _, height = self.geometry()
        border = (height - 16) // 2
        return x + self.index * height + border, y + border, 16, 16

    def centre(self):
        x, y, w, h = self.icon_rect()
        return x + w // 2, y + h // 2

    def grab_icon(self, path):
        return grab(*self.icon_rect(), path)


class Tarnbell:
    """One copy of the program in a folder of its own."""

    def __init__(self, folder, exe_name="Tarnbell.exe", with_component=True):
        self.folder = Path(folder)
        self.exe = self.folder / exe_name
        shutil.copy(BIN / "Tarnbell.exe", self.exe)
        if with_component:
            shutil.copy(BIN / "TarnMixer.dll", self.folder)
        self.process = None
        self.env = dict(os.environ, TBDRIVER_EXE=exe_name)  # only this copy's window
        self.tray = None
        self.cells_before = set()
        self.ids = {}

    def start(self):
        # The icons already in the tray, so that this copy's icon is the new one.
        self.cells_before, _ = Tray.occupied_cells(self.folder, "tray-before")
        self.process = subprocess.Popen(["wine", str(self.exe)], cwd=self.folder, env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def driver(self, *args, check=True, timeout=60):
        """tbdriver.exe with one command, or several joined by "--"."""
        result = wine(BIN / "tbdriver.exe", *args, timeout=timeout, env=self.env)
        if check and result.returncode != 0:
            raise AssertionError(f"tbdriver {args}: {result.returncode} {result.stderr}")
        return result.stdout

    def state(self):
        # On a loaded machine a Wine process now and then fails to start
        # (exit code 1, nothing printed); reading the window twice is harmless.
        result = wine(BIN / "tbdriver.exe", "state", env=self.env)
        if result.returncode == 1 and not result.stdout and not result.stderr:
            result = wine(BIN / "tbdriver.exe", "state", env=self.env)
        if result.returncode != 0:
            raise AssertionError(f"tbdriver state: {result.returncode} {result.stderr}")
        return parse_state(result.stdout)

    def control(self, cls, text=None, left=None, top=None):
        _, controls = self.state()
        for c in controls:
            if c["class"] == cls and (text is None or c["text"] == text) \
                    and (left is None or c["rect"][0] == left) and (top is None or c["rect"][1] == top):
                return c
        raise AssertionError(f"no {cls} {text!r} at {left},{top}")

    def named(self, name):
        """A control of CONTROLS as the window shows it now."""
        cls, text, left, top = CONTROLS[name]
        return self.control(cls, text, left, top)

    def id(self, name_or_text):
        """The id of a control of CONTROLS, or of the button with that text."""
        if name_or_text not in self.ids:
            found = self.named(name_or_text) if name_or_text in CONTROLS else self.control("Button", name_or_text)
            self.ids[name_or_text] = found["id"]
        return self.ids[name_or_text]

    def slider(self):
        return int(self.named("slider")["pos"])

    def muted(self):
        return self.named("mute")["checked"] == "1"

    def visible(self):
        return self.state()[0]["visible"] == "1"

    def click(self, text):
        """A real click on a control of the shown window: a button by its
        text, or a control of CONTROLS by its name."""
        self.driver("click-control", self.id(text))

    def pick(self, name, index):
        """Opens a list of CONTROLS with the mouse and clicks an entry."""
        self.driver("pick", self.id(name), index)

    def arrow_keys(self, name, key, count):
        """Clicks into a list's edit field and moves its choice with the
        arrow keys."""
        self.driver("click-control", self.id(name), "--", "press", key, 100, count)

    def choose(self, name, how, index, arrow, presses):
        """Picks entry `index` of a list "by mouse", or "by keys" with
        `presses` of the arrow key that reach it."""
        if how == "mouse":
            self.pick(name, index)
        else:
            self.arrow_keys(name, arrow, presses)

    def wait_until(self, condition, what, seconds=15):
        poll(condition, what, seconds)

    def wait_ready(self):
        """Started, shown once and gone back to the notification area, its
        icon found. The window is hidden before its first show too, so
        readiness is proven by a mute hotkey that takes effect (and a second
        one that undoes it)."""
        def started():
            try:  # a window still busy with its creation does not answer
                result = wine(BIN / "tbdriver.exe", "state", env=self.env, timeout=20)
            except subprocess.TimeoutExpired:
                return False
            window = parse_state(result.stdout)[0]
            return result.returncode == 0 and window is not None and window["visible"] == "0" \
                and (self.folder / "TB.ini").exists()
        # the first program on a fresh Wine server waits for its services
        poll(started, "the program to start", 120)
        if self.tray is None:
            self.find_icon()
        muted = self.muted()
        self.toggle_mute(not muted, "the mute hotkey to take effect")
        self.toggle_mute(muted, "mute to be restored")
        return self

    def toggle_mute(self, wanted, what):
        deadline = time.time() + 30
        while self.muted() != wanted:
            if time.time() > deadline:
                raise AssertionError(f"timed out waiting for {what}")
            self.driver("press", VK_MULTIPLY)
            time.sleep(0.3)

    def find_icon(self):
        """This copy's tray icon: the cell that holds an icon now and did not
        before the start."""
        def new_icon():
            after, background = Tray.occupied_cells(self.folder, "tray-after")
            if after - self.cells_before:
                return after - self.cells_before, background
            # The icon of a copy that ended just before the start may go
            # meanwhile and leave its cell to this one; Wine adds an icon
            # last, so once the shell knows this copy's icon it is the last.
            if after and self.driver("tray-icon", check=False).strip() == "1":
                return {max(after)}, background
            return None
        # the first program on a fresh Wine server waits for its services
        cells, background = poll(new_icon, "the icon to appear in the tray", 120)
        if len(cells) != 1:
            raise AssertionError(f"one new icon in the tray, not {sorted(cells)}")
        self.tray = Tray(cells.pop(), background)
        return self.tray

    def show_from_tray(self):
        """A real left click on the icon; the window comes up. Icons that
        went since move this one to the left: the cells before it are tried
        in turn."""
        if self.tray is None:
            self.find_icon()
        for index in range(self.tray.index, -1, -1):
            self.tray.index = index
            x, y = self.tray.centre()
            if wine(BIN / "tbdriver.exe", "click", x, y, "--", "wait-shown", 3000, env=self.env).returncode == 0:
                return
        raise AssertionError("a click on the tray icon did not show the window")

    def volume_to_zero(self):
        for _ in range(30):
            if self.slider() == 0:
                time.sleep(0.2)
                return
            self.driver("press", VK_SUBTRACT, 80, 4)
        raise AssertionError(f"the volume did not reach 0: {self.slider()}")

    def exit(self):
        """Exit, clicked in the window brought up from the tray."""
        if not self.visible():
            self.show_from_tray()
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

    def round_trip(self):
        """From the first line to the second and back with the arrow keys in
        the Channel list of the shown window: (volume, muted) as read from
        the component for each, the second line first. Leaves the list
        focused."""
        out = self.driver("click-control", self.id("channel"), "--", "press", VK_DOWN, "--", "state",
                          "--", "press", VK_UP, "--", "state")
        found = []
        for block in re.split(r"(?m)^(?=window )", out)[1:]:
            controls = parse_state(block)[1]
            slider = next(c for c in controls if c["class"] == "msctls_trackbar32")
            mute = next(c for c in controls if c["class"] == "Button" and c["text"] == "Mute")
            channel = next(c for c in controls if c["class"] == "ComboBox" and c["rect"][:2] == (329, 46))
            found.append((channel["cursel"], int(slider["pos"]), mute["checked"] == "1"))
        if [f[0] for f in found] != ["1", "0"]:
            raise AssertionError(f"the Channel list did not go to each line: {found}")
        return [f[1:] for f in found]

    def ini(self):
        return (self.folder / "TB.ini").read_bytes().decode("ascii")

    def wait_ini(self, line, what):
        """The settings file holds `line` (such as "VolumeUp=47") soon."""
        poll(lambda: f"{line}\r\n" in self.ini(), f"{what}: {line} in TB.ini", 5, 0.1)


class E2ETest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tarnbell-e2e-")
        self.apps = []

    def tearDown(self):
        # the latest first: an icon that goes moves only those after it
        for app in reversed(self.apps):
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

    def test_close_background_delete_and_exit_saves(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.show_from_tray()
        app.driver("press", f"{VK_MENU}+{VK_F4}")  # the close box has no title bar to sit in here
        app.driver("wait-hidden")
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "a hotkey while hidden")

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
        app.driver("press", VK_ADD)
        time.sleep(1)
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
            again.wait_until(lambda: again.slider() <= 65535 - STEP, "a step down")
        before = again.slider()
        again.driver("press", VK_ADD)
        again.wait_until(lambda: again.slider() == before + STEP, "Numpad + to work again")
        again.exit()
        self.assertEqual(again.ini(), DEFAULT_INI)

    def test_runs_without_the_component(self):
        unregister_component()
        app = self.launch(with_component=False).wait_ready()
        self.assertEqual(app.driver("tray-icon").strip(), "1")
        self.assertEqual(app.named("channel")["count"], "0")
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "the slider to move without a component")
        app.exit()


class Hotkeys(E2ETest):
    def test_default_keys_step_mute_and_repeat(self):
        app = self.launch().wait_ready()
        app.volume_to_zero()
        app.driver("press", VK_ADD)
        app.wait_until(lambda: app.slider() == STEP, "one 10 % step")

        muted_before = app.muted()
        app.driver("press", VK_MULTIPLY)
        app.wait_until(lambda: app.muted() != muted_before, "mute to toggle")
        app.driver("press", VK_MULTIPLY)
        app.wait_until(lambda: app.muted() == muted_before, "mute to toggle back")

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
        for a, b in zip(moves[1:], moves[2:]):
            self.assertGreater(b - a, 70, out)
            self.assertLess(b - a, 300, out)


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
            app.wait_until(lambda: app.muted() != before, f"{chord(new)} to toggle mute, {chord(old)} not", 5)
        else:
            wanted = before + (STEP if action == "up" else -STEP)
            app.wait_until(lambda: app.slider() == wanted, f"{chord(new)} to move the volume one step "
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
                         "VolumeDown=50\r\nPreMute=5\r\nMute=45\r\n[Step]\r\nStepUp=5\r\nStepDown=5\r\n")

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
                app.wait_until(lambda: app.slider() == position, f"a {percent[index]} % step to {position}", 5)
        self.assertEqual(app.round_trip()[1][0], position, "the last step reached the component")


class VolumeControls(E2ETest):
    """The Channel list, the slider and Mute, used with the mouse and the
    keys. Under Wine a value the program writes to a line is not seen by
    other processes, and the device's second line (its source line) keeps no
    value at all; so what the component holds is read back through the
    program: a switch to the second line and back reads the first line's
    volume and mute from the component."""

    def test_channel_slider_and_mute_reach_the_component(self):
        app = self.launch().wait_ready()
        app.show_from_tray()
        lines = mixer_lines()
        self.assertEqual(len(lines), 2, "Wine lists two lines on its device")
        self.assertEqual(app.named("channel")["count"], "2")
        self.assertEqual(app.slider(), lines[0], "the first line is selected at start")
        first = [lines[0], app.muted()]

        # The second line picked with the mouse: the window shows its volume,
        # and a hotkey acts on it.
        app.pick("channel", 1)
        app.wait_until(lambda: app.slider() == lines[1], f"the second line's volume {lines[1]}")
        second = (lines[1], app.muted())
        key, change = (VK_ADD, STEP) if lines[1] < 65535 - STEP else (VK_SUBTRACT, -STEP)
        app.driver("press", key)
        app.wait_until(lambda: app.slider() == lines[1] + change, "the hotkey to move the second line")

        # The first line by the keyboard: the hotkey left it alone, and later
        # hotkeys and Mute act on it.
        app.arrow_keys("channel", VK_UP, 1)
        app.wait_until(lambda: app.slider() == first[0], f"the first line's volume {first[0]}, unchanged")
        self.assertEqual(app.muted(), first[1])
        key, change = (VK_ADD, STEP) if first[0] < 65535 - STEP else (VK_SUBTRACT, -STEP)
        app.driver("press", key)
        first[0] += change
        app.wait_until(lambda: app.slider() == first[0], "the hotkey to move the first line")
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
            app.wait_until(lambda: app.slider() == first[0], f"key {key:#x} to move the slider to {first[0]}", 5)
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
        app.wait_until(lambda: app.slider() == lines[1], f"the second line's volume {lines[1]}")
        key, change = (VK_ADD, STEP) if lines[1] < 65535 - 2 * STEP else (VK_SUBTRACT, -STEP)
        muted = app.muted()
        # actions are handled in order: the mute toggle follows both steps
        app.driver("press", key, "--", "press", key, "--", "press", VK_MULTIPLY)
        app.wait_until(lambda: app.muted() != muted, "the mute hotkey after two steps")
        self.assertEqual(app.slider(), lines[1] + change, "the second step went from the line's volume")

        app.click("Background")
        app.driver("wait-hidden")
        app.show_from_tray()
        channel = app.named("channel")
        self.assertEqual((channel["cursel"], channel["count"]), ("1", "2"), "the chosen entry kept")
        self.assertEqual(app.slider(), lines[1], "the line's volume read again")
        app.exit()


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
        self.assertEqual(app.control("ComboBox", left=101, top=134)["count"], "7")
        self.assertEqual(app.control("ComboBox", left=394, top=134)["count"], "9")


if __name__ == "__main__":
    unittest.main()
