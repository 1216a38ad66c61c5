"""The volume of one program, on the Core Audio path through the stand-in of
Windows' audio service: "surf.exe" (a copy of tbdriver.exe) runs twice, the
first process with two sounds on two outputs, the second with one, as a
browser plays from its child processes; "quiet.exe" runs with none; the
system's own sounds play too. audioctl, another program, opens the sessions
for their process ids.

Run through ctest with TARNBELL_AUDIO=coreaudio.
"""
import select
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from tarnbell_support import (BIN, CORE_AUDIO, Tarnbell, audio_state, audioctl, parse_state,
                              poll, reset_audio, wine)

# The keys the test picks for the rows, as TB.ini keeps them (the index in a
# key list that starts with "<None>") and as virtual-key codes: F7, F8, F9.
APP_KEYS = "[Hotkey]\r\nPreAppUp=0\r\nAppUp=50\r\nPreAppDown=0\r\nAppDown=51\r\nPreAppMute=0\r\nAppMute=52\r\n"
VK_F8, VK_F9 = 0x77, 0x78

LIFETIME_MS = 300000


def read_line(process, what, seconds=90):
    ready, _, _ = select.select([process.stdout], [], [], seconds)
    line = process.stdout.readline() if ready else ""
    if not line.startswith(what):
        process.kill()
        raise AssertionError(f"expected {what!r}, read {line!r}")
    return line


def start_app(exe, *args):
    """A program of the test's (tbdriver's "app" command) and its Windows
    process id, waited for (bounded); with "window", once its window is in
    front."""
    process = subprocess.Popen(["wine", str(exe), "app", str(LIFETIME_MS), *args],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    pid = int(read_line(process, "pid ").split()[1])
    if "window" in args:
        read_line(process, "front 1")
    return process, pid


def sessions_of(pids):
    return [s for s in audio_state()["sessions"] if s["pid"] in pids and s["state"] == "active"]


class ProgramVolume(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not CORE_AUDIO:
            raise AssertionError("runs only with TARNBELL_AUDIO=coreaudio (the stand-in)")
        cls.folder = Path(tempfile.mkdtemp(prefix="appvolume-e2e-"))
        for name in ["surf.exe", "quiet.exe"]:
            shutil.copy(BIN / "tbdriver.exe", cls.folder / name)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def start(self, name, *args):
        process, pid = start_app(self.folder / name, *args)
        self.addCleanup(process.stdout.close)
        self.addCleanup(process.wait)
        self.addCleanup(process.kill)
        return pid

    def setUp(self):
        reset_audio()

    def surf_with_three_sounds(self, *window):
        """Two processes of surf.exe, three sounds, on both outputs; the
        first with its window in front if asked."""
        first, second = self.start("surf.exe", *window), self.start("surf.exe")
        audioctl("session", first, "Surf", "0.5", "off")
        audioctl("session", first, "Surf", "0.3", "off", "Headphones")
        audioctl("session", second, "Surf", "0.4", "off")
        audioctl("session", 0, "System Sounds", "0.9", "off")
        return first, second

    def tarnmixer(self, *args):
        done = wine(BIN / "tarnmixer.exe", "app", *args)
        return done.returncode, done.stdout, done.stderr

    def test_tarnmixer_app_moves_every_sound_of_every_process_of_the_program(self):
        pids = self.surf_with_three_sounds()
        self.assertEqual(self.tarnmixer("surf"), (0, "50\r\n", ""))  # the loudest
        self.assertEqual(self.tarnmixer("SURF.exe", "set", "-10"), (0, "40\r\n", ""))
        self.assertEqual([round(s["level"], 2) for s in sessions_of(pids)], [0.4, 0.2, 0.3])
        self.assertEqual(self.tarnmixer("surf", "mute", "toggle"), (0, "40 muted\r\n", ""))
        self.assertEqual([s["mute"] for s in sessions_of(pids)], [True] * 3)
        self.assertEqual(self.tarnmixer("surf", "mute", "toggle"), (0, "40\r\n", ""))
        self.assertEqual(self.tarnmixer("surf", "set", "25"), (0, "25\r\n", ""))
        self.assertEqual([round(s["level"], 2) for s in sessions_of(pids)], [0.25] * 3)
        state = audio_state()
        system_sounds = [s for s in state["sessions"] if s["pid"] == 0]
        self.assertEqual((system_sounds[0]["level"], system_sounds[0]["mute"]), (0.9, False))
        self.assertEqual(state["endpoints"]["Speakers"]["level"], 1.0)  # the master stays

        self.start("quiet.exe")
        self.assertEqual(self.tarnmixer("quiet", "set", "+5"), (
            2, "", 'No running program "quiet" has sound now.\r\nPrograms with sound now:\r\nsurf.exe\r\n'))

    def test_app_hotkeys_move_every_sound_of_the_program_in_front_and_not_the_master(self):
        folder = self.folder / "tarnbell"
        folder.mkdir()
        (folder / "TB.ini").write_bytes(APP_KEYS.encode("ascii"))
        tarnbell = Tarnbell(folder)
        self.addCleanup(tarnbell.kill)
        tarnbell.start().wait_ready()
        master = audio_state()["endpoints"]["Speakers"]
        pids = self.surf_with_three_sounds("window")

        def press(key, levels, mutes, shown):
            tarnbell.driver("level-gone", 5000)
            tarnbell.driver("press", key)
            poll(lambda: [round(s["level"], 2) for s in sessions_of(pids)] == levels
                 and [s["mute"] for s in sessions_of(pids)] == mutes, f"the sounds at {levels}, {mutes}")
            out = tarnbell.driver("level", 5000)
            self.assertEqual(parse_state(out.replace("toplevel", "window", 1))[0]["text"], shown)

        # "Adjustment Range": 10 %, from each sound's own level.
        press(VK_F8, [0.4, 0.2, 0.3], [False] * 3, "surf 40%")
        press(VK_F9, [0.4, 0.2, 0.3], [True] * 3, "surf Muted")
        press(VK_F9, [0.4, 0.2, 0.3], [False] * 3, "surf 40%")

        self.start("quiet.exe", "window")
        press(VK_F8, [0.4, 0.2, 0.3], [False] * 3, "quiet: no sound")
        after = audio_state()["endpoints"]["Speakers"]
        self.assertEqual((after["level"], after["mute"]), (master["level"], master["mute"]))


if __name__ == "__main__":
    unittest.main()
