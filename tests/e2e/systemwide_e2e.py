"""What only a system-wide audio state makes possible, as on Windows: run on
Core Audio through the stand-in of Windows' audio service
(tests/audiostandin), where another program (audioctl.exe) changes the
output before and while the program runs, and each process reads what the
one before it left.

Run through ctest, which gives the environment tarnbell_support needs.
"""
import shutil
import tempfile
import unittest
from pathlib import Path

from tarnbell_support import (BIN, STEP, VK_ADD, Tarnbell, audio_endpoint, audioctl, poll,
                              reset_audio, wine)


class SystemWide(unittest.TestCase):
    def setUp(self):
        reset_audio()
        self.folder = Path(tempfile.mkdtemp(prefix="tarnbell-systemwide-"))
        self.app = None

    def tearDown(self):
        if self.app:
            self.app.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_the_program_shows_and_steps_from_what_another_program_set(self):
        audioctl("level", "Speakers", "0.29")
        audioctl("mute", "Speakers", "on")
        self.app = Tarnbell(self.folder).start().wait_ready()
        self.app.show_from_tray()
        # The least volume that shows 29 %, the percent Windows shows.
        self.assertEqual((self.app.slider(), self.app.muted()), ((29 * 65535 + 99) // 100, True),
                         "started after another program muted at 29 %")
        self.app.click("Background")
        self.app.driver("wait-hidden")

        audioctl("level", "Speakers", "0.37")
        self.app.driver("press", VK_ADD)
        stepped = (37 * 65535 + 99) // 100 + STEP
        # Windows then shows the percent the window shows.
        poll(lambda: round(audio_endpoint("Speakers")["level"] * 100) == stepped * 100 // 65535,
             "Numpad + to step from the 37 % another program set")
        self.assertEqual(self.app.slider(), stepped)

    def test_tarnmixer_runs_read_what_the_run_before_set(self):
        shutil.copy(BIN / "tarnmixer.exe", self.folder)
        shutil.copy(BIN / "TarnMixer.dll", self.folder)
        for args, printed in [(["set", "37"], "37\r\n"), (["get"], "37\r\n"), (["mute", "on"], "37 muted\r\n"),
                              (["get"], "37 muted\r\n")]:
            done = wine(self.folder / "tarnmixer.exe", *args)
            self.assertEqual((done.returncode, done.stdout), (0, printed), args)
        speakers = audio_endpoint("Speakers")
        self.assertAlmostEqual(speakers["level"], 0.37, places=4)
        self.assertTrue(speakers["mute"])


if __name__ == "__main__":
    unittest.main()
