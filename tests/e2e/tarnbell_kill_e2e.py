"""End-to-end: Tarnbell killed (kill -9) inside its saves of TB.ini, again
and again, and the file found complete and valid after every kill, with the
parts of it the program does not own still there.

Each try starts the real program, brings its window up with a real click on
its tray icon, clicks into the "Volume up" key list and walks it with the
arrow keys, so that every step is a pick that saves the file. A save writes
a copy, TB.ini.tmp, and then puts it in the file's place. The folder is
watched through the kernel's change notifications (inotify): after a random
number of whole saves, the program is killed at a random one of the early
changes to the next save's copy, so each kill lands inside a save by
construction, not by the luck of a timer. A kill that lands in time leaves
the copy behind.

Run through ctest; TARNBELL_KILL_TRIES changes the number of tries and
TARNBELL_KILL_SEED fixes the random choices.
"""
import ctypes
import os
import random
import re
import select
import shutil
import signal
import statistics
import struct
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from tarnbell_support import ARTIFACTS, DEFAULT_INI, Tarnbell, Tray, parse_state, run

TRIES = int(os.environ.get("TARNBELL_KILL_TRIES", "20"))
EXE = "TbKill.exe"
KEYS = {"Hotkey": ["PreVolumeUp", "VolumeUp", "PreVolumeDown", "VolumeDown", "PreMute", "Mute"],
        "Step": ["StepUp", "StepDown"], "Display": ["ShowLevel", "TrayWheel"]}
# What the user keeps in the file besides the program's keys.
FOREIGN = ("; my notes\r\n", "[Other]\r\nkeep=1\r\n")
START_INI = FOREIGN[0] + FOREIGN[1] + DEFAULT_INI
VOLUME_UP_KEY_LIST = "115"  # its control id in the window (tbdriver state)
COPY = "TB.ini.tmp"


def xdotool(*args):
    return run("xdotool", *args, timeout=30, check=False)


def tray_icons(folder):
    """The centres of the icons in Wine's tray window, left to right. The
    window goes when its last icon goes, so its place is read only once."""
    cells, _ = Tray.occupied_cells(folder, "tray")
    geometry = Tray.geometry()
    if geometry is None:
        return []
    x, y, _, height = geometry
    return [(x + n * height + height // 2, y + height // 2) for n in sorted(cells)]


def problems_of(data):
    """What makes the file's bytes not a complete, valid settings file."""
    if not data:
        return ["the file is empty"]
    text = data.decode("latin-1")
    found = []
    if not text.endswith("\r\n"):
        found.append("the last line is cut")
    found += [f"lost {part!r}" for part in FOREIGN if part not in text]
    for section, keys in KEYS.items():
        body = re.search(r"^\[" + section + r"\]\r\n((?:[^[].*\r\n)*)", text, re.M)
        values = dict(re.findall(r"^(\w+)=(.*)\r$", body.group(1), re.M)) if body else {}
        for key in keys:
            if not re.fullmatch(r"-?\d+", values.get(key, "")):
                found.append(f"{section}/{key} is {values.get(key)!r}")
    return found


class FolderWatch:
    """The changes to the files of one folder, as the kernel reports them
    the moment they happen."""
    IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_FROM, IN_MOVED_TO, IN_CREATE, IN_DELETE = 2, 8, 0x40, 0x80, 0x100, 0x200
    HEADER = struct.Struct("iIII")  # wd, mask, cookie, length of the name

    def __init__(self, folder):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_CLOEXEC)
        mask = (self.IN_MODIFY | self.IN_CLOSE_WRITE | self.IN_MOVED_FROM | self.IN_MOVED_TO | self.IN_CREATE
                | self.IN_DELETE)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, os.fsencode(folder), mask) < 0:
            raise OSError(ctypes.get_errno(), "inotify")
        self.pending = []

    def close(self):
        os.close(self.fd)

    def next(self, seconds):
        """The next change as (file name, mask), or None when nothing
        changes for `seconds`."""
        if not self.pending:
            if not select.select([self.fd], [], [], seconds)[0]:
                return None
            data, offset = os.read(self.fd, 65536), 0
            while offset < len(data):
                _, mask, _, length = self.HEADER.unpack_from(data, offset)
                start = offset + self.HEADER.size
                self.pending.append((data[start:start + length].rstrip(b"\0").decode(), mask))
                offset = start + length
        return self.pending.pop(0)

    def drain(self):
        while self.next(0):
            pass


class KillWhileSaving(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="tarnbell-kill-e2e-"))
        self.ini = self.folder / "TB.ini"
        self.copy = self.folder / COPY
        self.app = Tarnbell(self.folder, exe_name=EXE)
        self.watch = FolderWatch(self.folder)
        self.keys = None
        self.save_lengths = []  # changes to the copy in each whole save seen
        self.save_times = []

    def tearDown(self):
        self.stop_keys()
        self.watch.close()
        if self.app.process and self.app.process.poll() is None:
            self.app.process.kill()
            self.app.process.wait(timeout=30)
        self.remove_dead_icons()
        shutil.rmtree(self.folder, ignore_errors=True)

    def stop_keys(self):
        if self.keys and self.keys.poll() is None:
            self.keys.kill()
            self.keys.wait(timeout=10)
        self.keys = None
        xdotool("keyup", "Up", "keyup", "Down")

    def remove_dead_icons(self):
        """A killed program's icon leaves Wine's tray by itself a moment
        after the kill; the pointer passing over an icon makes the tray look
        again at whether its window is gone."""
        deadline = time.time() + 90
        while icons := tray_icons(self.folder):
            if time.time() > deadline:
                raise AssertionError("dead icons stay in the tray")
            for icon in icons:
                xdotool("mousemove", *icon, "sleep", "0.05")
            xdotool("mousemove", 700, 700, "sleep", "0.5")

    def list_point(self):
        """Screen point inside the edit field of the "Volume up" key list."""
        window, controls = parse_state(self.app.driver("state"))
        ox, oy = (int(n) for n in window["origin"].split(","))
        left, top, width, height = next(c for c in controls if c["id"] == VOLUME_UP_KEY_LIST)["rect"]
        return ox + left + width // 3, oy + top + height // 2

    def walk_list(self, point):
        """Clicks into the list and walks it up and down with the arrow keys,
        each key held 80 ms; the program saves at every step."""
        presses = []
        for key in ("Up", "Down") * 4:
            presses += ["keydown", key, "sleep", "0.08", "keyup", key, "sleep", "0.02"] * 25
        self.keys = subprocess.Popen(["xdotool", "mousemove", *map(str, point), "sleep", "0.05", "click", "1",
                                      "sleep", "0.1", *presses],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def kill_inside_a_save(self, whole_saves):
        """Lets `whole_saves` saves end, then kills the program at a random
        one of the first half of the changes a save makes to its copy (as
        many as the last whole save made). Returns the saves begun; 0, with
        the program alive, when nothing changes for 3 s (the keys did not
        reach the list)."""
        begun, changes, began_at = 0, 0, None
        usual = self.save_lengths[-1] if self.save_lengths else 4
        kill_at = random.randint(1, max(1, usual // 2))
        while True:
            event = self.watch.next(3)
            if event is None:
                if begun:
                    raise AssertionError(f"a save stopped halfway: {changes} changes to its copy")
                return 0
            name, mask = event
            if name != COPY:
                continue
            if mask & FolderWatch.IN_MOVED_FROM:  # the copy took the file's place: one whole save
                self.save_lengths.append(changes)
                self.save_times.append(time.monotonic() - began_at)
                changes = 0
                continue
            if changes == 0:
                begun, began_at = begun + 1, time.monotonic()
            changes += 1
            if begun > whole_saves and changes == kill_at:
                os.kill(self.app.process.pid, signal.SIGKILL)
                self.app.process.wait(timeout=30)
                return begun

    def start_and_kill(self, point):
        """One try; returns the saves begun and the list's screen point."""
        self.app.tray = None
        self.app.start().wait_ready()
        for _ in range(5):
            self.app.show_from_tray()
            point = point or self.list_point()
            self.watch.drain()
            self.walk_list(point)
            begun = self.kill_inside_a_save(random.randint(0, 3))
            self.stop_keys()
            if begun:
                return begun, point
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", ARTIFACTS / "kill-no-saves.png"], check=False)
        raise AssertionError("the picks do not save")

    def test_file_survives_kills_while_saving(self):
        random.seed(os.environ.get("TARNBELL_KILL_SEED"))
        self.ini.write_bytes(START_INI.encode())
        point, interrupted, saves = None, 0, 0
        started = time.time()
        self.remove_dead_icons()
        for attempt in range(TRIES):
            begun, point = self.start_and_kill(point)
            saves += begun
            interrupted += self.copy.exists()
            data = self.ini.read_bytes()
            problems = problems_of(data)
            if problems:
                ARTIFACTS.mkdir(parents=True, exist_ok=True)
                (ARTIFACTS / "killed-TB.ini").write_bytes(data)
            self.assertEqual(problems, [], f"try {attempt + 1}: {data!r}")
        print(f"\n{TRIES} kills in {time.time() - started:.0f} s, {saves} saves begun; "
              f"{interrupted} of {TRIES} kills interrupted a save (its copy was left behind); "
              f"a whole save: {statistics.median(self.save_lengths or [0])} changes to its copy (median), "
              f"{statistics.median(self.save_times or [0]) * 1000:.1f} ms from its first change to the replace")
        # The kills must really land inside saves, or the test shows nothing.
        self.assertGreater(interrupted * 3, TRIES, "a third of the kills or fewer interrupted a save")


if __name__ == "__main__":
    unittest.main()
