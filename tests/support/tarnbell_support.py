"""What every Wine-side test of Tarnbell shares: running Windows programs
under Wine, waiting for an event with a bounded wait, reading the registry,
the program's window and its icon in Wine's tray, and one copy of the program
driven from outside only as a user can (keys and mouse through tbdriver.exe,
SendInput; controls read back with window messages; files read from disk).

The end-to-end, kill, tray and installer tests import it; ctest puts this
folder on PYTHONPATH. Needs TARNBELL_BIN (the folder with Tarnbell.exe,
TarnMixer.dll, tarnmixer.exe and tbdriver.exe), TARNBELL_ARTIFACTS (where
screenshots go) and the project's Wine environment (scripts/wine-env.sh).
"""
import filecmp
import os
import re
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

BIN = Path(os.environ.get("TARNBELL_BIN", "build/win32/bin"))
ARTIFACTS = Path(os.environ.get("TARNBELL_ARTIFACTS", "build/win32/e2e-artifacts"))
CLSID = "{E63081B5-5E90-43E2-A22D-83525CB1DC42}"
TRAY_TITLE = "Wine System Tray"

VK_ADD, VK_SUBTRACT, VK_MULTIPLY, VK_DIVIDE, VK_F5 = 0x6B, 0x6D, 0x6A, 0x6F, 0x74
VK_SHIFT, VK_CONTROL, VK_MENU, VK_F4, VK_DELETE = 0x10, 0x11, 0x12, 0x73, 0x2E
VK_PRIOR, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 0x21, 0x22, 0x25, 0x26, 0x27, 0x28
STEP = 65535 * 10 // 100
SW_HIDE, SW_SHOWMINNOACTIVE = 0, 7

# The rows whose keys stay off until the user picks one.
OFF_ROWS = ("PreMicMute=0\r\nMicMute=0\r\nPreNextOutput=0\r\nNextOutput=0\r\nPreAppUp=0\r\nAppUp=0\r\n"
            "PreAppDown=0\r\nAppDown=0\r\nPreAppMute=0\r\nAppMute=0\r\n")
DEFAULT_INI = ("[Hotkey]\r\nPreVolumeUp=0\r\nVolumeUp=55\r\nPreVolumeDown=0\r\n"
               "VolumeDown=56\r\nPreMute=0\r\nMute=57\r\n" + OFF_ROWS + "[Step]\r\nStepUp=5\r\nStepDown=5\r\n"
               "[Display]\r\nShowLevel=1\r\nTrayWheel=1\r\n")

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
    "mic_modifier": ("ComboBox", None, 101, 230),
    "mic_key": ("ComboBox", None, 205, 230),
    "output_key": ("ComboBox", None, 205, 262),
    "app_up_key": ("ComboBox", None, 205, 294),
    "app_down_key": ("ComboBox", None, 205, 326),
    "app_mute_key": ("ComboBox", None, 205, 358),
    "step_up": ("ComboBox", None, 394, 134),
    "step_down": ("ComboBox", None, 394, 166),
}


def wine(*args, timeout=120, env=None, cwd=None):
    """Runs a Windows program to its end. Its output goes through files, not
    pipes: Wine's background services, started by whichever program comes
    first, inherit the handles and would keep a pipe open long after."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(["wine", *map(str, args)], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout, env=env, cwd=cwd)
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


def registry_value(key):
    """The default value of a registry key, from regedit's export: a UTF-16
    file, in which any character survives."""
    with tempfile.TemporaryDirectory() as folder:
        wine("regedit", "/E", f"Z:{folder}/key.reg".replace("/", "\\"), key)
        found = re.search(r'^@="(.*)"\r?$', (Path(folder) / "key.reg").read_text("utf-16"), re.M)
    return found and found.group(1).replace("\\\\", "\\")


def reg_values(key):
    """The values of a registry key as {name: text or number}, or None
    without the key."""
    done = wine("reg", "query", key)
    if done.returncode != 0:
        return None
    values = {}
    for line in done.stdout.splitlines():
        found = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
        if found:
            name, kind, text = found.groups()
            values[name] = int(text, 16) if kind == "REG_DWORD" else text
    return values


def mixer_lines():
    """Volume of each line of the device the component selects, as
    "tarnmixer list" (a process of its own) reports them."""
    listed = wine(BIN / "tarnmixer.exe", "list").stdout
    return [int(v) for v in re.findall(r"^\s*\*?\s*Line \d+: valid, \"[^\"]*\", volume (\d+)", 
                                       listed.split("Device 1")[0], re.M)]


# ---- Windows' audio through the Core Audio stand-in ---------------------------

# "coreaudio": this run's prefix has the stand-in of Windows' audio service
# (tests/audiostandin) in place of Wine's Core Audio, and the component
# takes Core Audio; otherwise Wine's own audio, where it takes winmm.
AUDIO = os.environ.get("TARNBELL_AUDIO", "winmm")
CORE_AUDIO = AUDIO == "coreaudio"
BACKEND = "Core Audio" if CORE_AUDIO else "winmm"


def audioctl(*args, check=True):
    """The stand-in's control program, another program changing Windows'
    audio (tests/audiostandin/README.md lists its commands); its output."""
    result = wine(BIN / "audioctl.exe", *args)
    if check and result.returncode != 0:
        raise AssertionError(f"audioctl {args}: {result.returncode} {result.stderr}")
    return result.stdout


def audio_state():
    """The stand-in's whole system, as audioctl prints it: {"service":
    "running"|"stopped", "endpoints": {name: {"id", "flow", "state",
    "level" (0..1), "mute" (bool), "default" (roles)}}, "sessions": [{"key",
    "pid", "endpoint", "name", "level", "mute", "state"}], "registrations":
    {pid: (volume callbacks, notification clients)} of running processes,
    "changes": number of the last change}."""
    state = {"endpoints": {}, "sessions": [], "registrations": {}}
    for line in audioctl("state").splitlines():
        kind, _, rest = line.partition(" ")
        fields = {k: v.strip('"') for k, v in re.findall(r'(\w+)=("[^"]*"|\S+)', rest)}
        for name in ("level",):
            if name in fields:
                fields[name] = float(fields[name])
        if "mute" in fields:
            fields["mute"] = fields["mute"] == "1"
        if kind == "endpoint":
            fields["default"] = [] if fields["default"] == "-" else fields["default"].split(",")
            state["endpoints"][fields["name"]] = fields
        elif kind == "session":
            fields.update(key=int(fields["key"]), pid=int(fields["pid"]))
            state["sessions"].append(fields)
        elif kind == "registrations":
            state["registrations"][int(fields["pid"])] = (int(fields["volume"]), int(fields["clients"]))
        elif kind in ("service", "changes"):
            state[kind] = int(rest) if kind == "changes" else rest
    return state


def audio_endpoint(name):
    """One endpoint of the stand-in by its friendly name ("Speakers")."""
    return audio_state()["endpoints"][name]


def default_outputs():
    """{output name: the roles it is Windows' default for}, of the stand-in."""
    return {name: e["default"] for name, e in audio_state()["endpoints"].items()
            if e["flow"] == "render" and e["default"]}


def reset_audio():
    """The stand-in as a fresh system: "Speakers" the default output,
    "Headphones", "Microphone" the default microphone, "Webcam Microphone";
    all at full level, none muted, no sessions, the service running."""
    audioctl("reset")
    audioctl("policyconfig", "on")


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
        # Wine's tray window may be missing for a moment while its desktop
        # process stalls (after a window hides under Xvfb).
        x, y, _, height = poll(self.geometry, "the Wine System Tray window", 10)
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
        # A copy already there may be running: rewriting its files under it
        # would pull its mapped code away.
        for source, target in [(BIN / "Tarnbell.exe", self.exe)] + \
                [(BIN / "TarnMixer.dll", self.folder / "TarnMixer.dll")] * with_component:
            if not (target.exists() and filecmp.cmp(source, target, shallow=False)):
                shutil.copy(source, target)
        self.process = None
        self.env = dict(os.environ, TBDRIVER_EXE=exe_name)  # only this copy's window
        self.tray = None
        self.cells_before = set()
        self.restarted = False
        self.ids = {}

    def start(self, show=None):
        """Started as from Explorer, or through a launcher (tbdriver) that
        asks for show command `show`."""
        # The icons already in the tray, so that this copy's icon is the new one.
        self.cells_before, _ = Tray.occupied_cells(self.folder, "tray-before")
        self.show = show
        command = [self.exe] if show is None else [BIN / "tbdriver.exe", "start", show]
        self.process = subprocess.Popen(["wine", *map(str, command)], cwd=self.folder, env=self.env,
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

    def wait_ready(self):
        """Started, shown once and gone back to the notification area, its
        icon found. The window is hidden before its first show too, so
        readiness is proven by a mute hotkey that takes effect (and a second
        one that undoes it)."""
        def started():
            self.start_again_if_dropped()
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
        """Presses the mute hotkey until the box shows `wanted`. A press
        before the program is ready is dropped, so it is repeated, but only
        after it had no effect for a while: a slow answer is no lost press."""
        deadline = time.time() + 30
        while self.muted() != wanted:
            if time.time() > deadline:
                raise AssertionError(f"timed out waiting for {what}")
            self.driver("press", VK_MULTIPLY)
            try:
                poll(lambda: self.muted() == wanted, what, 3)
            except AssertionError:
                pass

    def find_icon(self):
        """This copy's tray icon: the cell that holds an icon now and did not
        before the start."""
        def new_icon():
            self.start_again_if_dropped()
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
        try:
            cells, background = poll(new_icon, "the icon to appear in the tray", 120)
        except AssertionError:
            raise AssertionError(f"no new icon in the tray: {self.start_diagnosis()}") from None
        if len(cells) != 1:
            raise AssertionError(f"one new icon in the tray, not {sorted(cells)}")
        self.tray = Tray(cells.pop(), background)
        return self.tray

    def start_again_if_dropped(self):
        """On a busy machine Wine now and then ends a program before it
        runs, with exit code 1; a person would start it again. Once."""
        if self.process.poll() == 1 and not self.restarted:
            self.restarted = True
            self.start(self.show)

    def start_diagnosis(self):
        """What a start that showed no icon left: the program's end, the
        tray window, the shell's answer and the screen, kept as a picture."""
        ended = self.process.poll()
        shell = self.driver("tray-icon", check=False).strip() or "no window"
        grab(0, 0, 1024, 768, ARTIFACTS / f"no-icon-{self.exe.stem}.png")
        return (f"program {'running' if ended is None else f'ended with {ended}'}"
                f"{', started again' if self.restarted else ''}, "
                f"tray window {Tray.geometry()}, cells before {sorted(self.cells_before)}, "
                f"shell knows the icon: {shell}")

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
        by force only if that fails. A launcher may have handed the program
        to a process of its own; that one carries the copy's full path."""
        if not self.process or self.process.poll() is not None:
            return
        try:
            self.exit()
        except Exception:
            found = subprocess.run(["pgrep", "-f", str(self.exe)], capture_output=True, text=True).stdout
            for pid in {int(p) for p in found.split()} | {self.process.pid}:
                subprocess.run(["kill", "-9", str(pid)], check=False)
            self.process.wait(timeout=30)
        poll(lambda: subprocess.run(["pgrep", "-f", str(self.exe)], capture_output=True).returncode != 0,
             "the program to end", 30)

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
