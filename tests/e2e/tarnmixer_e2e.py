"""The real tarnmixer.exe under Wine, run from a folder that holds it and its
TarnMixer.dll while no component is registered, as an unzipped download
before Tarnbell has ever started; and alone, where it takes the registered
component. Each run is a process of its own, and under Wine's own audio a
volume lasts only as long as the process that set it: every run starts from
Wine's levels (the first line full and unmuted, the second at 0), and a set
or a mute is judged by the state that same run prints. On Core Audio (the
stand-in of Windows' audio service) the lines are "Default output",
"Headphones" (set to 0 before each test, as Wine's second line) and
"Speakers", and what one run sets the next one reads.

Run through ctest, which gives the environment tarnbell_support needs.
"""
import html
import re
import shutil
import tempfile
import unittest
from pathlib import Path

import tarnbell_support as support
from tarnbell_support import (BACKEND, BIN, CORE_AUDIO, DEFAULT_INI, VK_DIVIDE, audioctl, default_outputs,
                              poll, reset_audio, unregister_component, wine)

USAGE_START = "Usage:\r\n  tarnmixer list "
LINES = ["Default output", "Headphones", "Speakers"] if CORE_AUDIO else ["Master Volume"] * 2
REFUSED = "Windows does not let programs choose the default output here.\r\n"


class Folder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        unregister_component()
        cls.folder = Path(tempfile.mkdtemp(prefix="tarnmixer-e2e-"))
        for name in ["tarnmixer.exe", "TarnMixer.dll"]:
            shutil.copy(BIN / name, cls.folder)

    def setUp(self):
        if CORE_AUDIO:
            reset_audio()
            audioctl("level", "Headphones", "0")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def tarnmixer(self, *args, folder=None):
        # On a loaded machine a Wine process now and then fails to start
        # (exit code 1, nothing printed); tarnmixer's own exit 1 says why.
        for _ in range(2):
            done = wine((folder or self.folder) / "tarnmixer.exe", *args)
            if (done.returncode, done.stdout, done.stderr) != (1, "", ""):
                break
        return done.returncode, done.stdout, done.stderr

    def prints(self, args, output):
        self.assertEqual(self.tarnmixer(*args.split()), (0, output, ""), args)


@unittest.skipIf(CORE_AUDIO, "Wine's own audio: the winmm run has these")
class CommandLine(Folder):
    def test_the_default_output_reads_but_windows_lets_no_program_move_it(self):
        self.prints("default", "0: Master Volume\r\n")
        for args in [("default", "next"), ("default", "1")]:
            self.assertEqual(self.tarnmixer(*args), (3, "", REFUSED), args)
        self.prints("default", "0: Master Volume\r\n")

    def test_volume_and_mute_in_percent_as_read_back(self):
        self.prints("get", "100\r\n")
        self.prints("get 1", "0\r\n")
        for percent in [40, 37, 9, 63, 0, 100]:
            self.prints(f"set {percent}", f"{percent}\r\n")
        # Steps go from what the line reads (100), clamped to 0..100.
        self.prints("set -10", "90\r\n")
        self.prints("set +10", "100\r\n")
        self.prints("set -150", "0\r\n")
        kept = "0" if CORE_AUDIO else "100"  # Wine's next run starts at full volume again
        self.prints("mute toggle", f"{kept} muted\r\n")
        self.prints("mute on", f"{kept} muted\r\n")
        self.prints("MUTE Off", f"{kept}\r\n")
        # Under Wine both lines are "Master Volume": a prefix of it, in any
        # case, takes the first (the second would read 0).
        first = "dEFAULT" if CORE_AUDIO else "mASTER"
        self.prints(f"set 40 {first}", "40\r\n")
        self.prints(f"get {first.lower()}", "40\r\n" if CORE_AUDIO else "100\r\n")
        # Every microphone: the words name the microphones' state, "on" as
        # printed. Under Wine each run starts with them on; on Core Audio the
        # toggle finds them muted by the run before.
        toggled = "on" if CORE_AUDIO else "muted"
        for words, output in [("mic mute", "muted"), ("MIC Off", "muted"), ("mic toggle", toggled),
                              ("mic unmute", "on"), ("mic on", "on")]:
            self.prints(words, output + "\r\n")

    def test_wrong_lines_and_commands_exit_with_one_line_that_says_why(self):
        code, out, err = self.tarnmixer("get", "7")
        self.assertEqual((code, out), (2, ""))
        self.assertEqual(err, 'There is no line "7".\r\n' + "".join(f"{i}: {n}\r\n" for i, n in enumerate(LINES)))
        # The lines named there are the valid lines of the listing's start device.
        code, listing, err = self.tarnmixer("list")
        self.assertEqual((code, err), (0, ""))
        self.assertNotIn("\n", listing.replace("\r\n", ""))
        start_device = listing.split("* Device")[1].split(" Device")[0]
        self.assertEqual(re.findall(r'Line \d+: valid, "([^"]*)"', start_device), LINES)
        self.assertTrue(listing.startswith(f"Backend: {BACKEND}: "), listing)
        self.assertEqual(self.tarnmixer("set", "5", "hdmi" if CORE_AUDIO else "speakers")[:2], (2, ""))

        for args, first_line in [(["frobnicate"], '"frobnicate" is no command.'),
                                 (["set", "101"], '"101" is no percent: give 0 to 100, or +N or -N to step.'),
                                 (["mute", "maybe"], '"mute" takes on, off or toggle.'),
                                 (["mic", "muted"], '"mic" takes mute, unmute or toggle (off mutes, on unmutes).'),
                                 (["get", "0", "1"], '"1" is one argument too many.'),
                                 (["app", "surf", "up"],
                                  '"up" is no command for a program: give get, set or mute.')]:
            code, out, err = self.tarnmixer(*args)
            self.assertEqual((code, out), (1, ""), args)
            self.assertTrue(err.startswith(first_line + "\r\n" + USAGE_START), err)
        if not CORE_AUDIO:  # Wine's winmm, as Windows XP's, has no volume per program
            self.assertEqual(self.tarnmixer("app", "surf", "set", "-5"),
                             (3, "", "Windows XP has no volume per program.\r\n"))
        for ask in ["/?", "-h", "--help"]:
            code, out, err = self.tarnmixer(ask)
            self.assertEqual((code, err), (0, ""))
            self.assertTrue(out.startswith(USAGE_START), out)

    def test_the_help_pages_batch_file_reads_what_it_prints(self):
        page = (Path(__file__).resolve().parents[2] / "help" / "commandline.htm").read_text(encoding="cp1252")
        batch = html.unescape(re.search(r'<pre class="cmd">\n(.*?)</pre>', page, re.S).group(1))
        (self.folder / "volume.cmd").write_bytes(batch.replace("\n", "\r\n").encode("cp1252"))
        done = wine("cmd", "/c", "volume.cmd", cwd=self.folder)
        self.assertEqual(done.stdout, "The volume is now 90 %.\r\n"
                                      "Not muted: tarnmixer ended with exit code 2.\r\n")
        self.assertTrue(done.stderr.startswith('There is no line "speakers".\r\n'), done.stderr)

    def test_alone_it_takes_the_registered_component(self):
        with tempfile.TemporaryDirectory() as alone:
            shutil.copy(BIN / "tarnmixer.exe", alone)
            self.assertEqual(self.tarnmixer("get", folder=Path(alone)), (
                3, "", "TarnMixer could not be created: the class is not registered (0x80040154).\r\n"))
            dll = "Z:" + str((BIN / "TarnMixer.dll").resolve()).replace("/", "\\")
            self.assertEqual(wine("regsvr32", "/s", dll).returncode, 0)
            try:
                self.assertEqual(self.tarnmixer("set", "25", folder=Path(alone)), (0, "25\r\n", ""))
            finally:
                unregister_component()


@unittest.skipUnless(support.CORE_AUDIO, "needs Windows' system-wide microphones: the stand-in's run")
class MicrophonesAcrossProcesses(unittest.TestCase):
    """tarnmixer and Tarnbell's Microphone key (Numpad /) on one system:
    Microphone (the default), Headset (no default) and Webcam, muted before.
    Whoever mutes, the other gives back exactly what the mute took."""

    def test_an_unmute_gives_back_what_the_other_program_muted(self):
        support.reset_audio()
        support.audioctl("add", "Headset", "capture")
        support.audioctl("mute", "Webcam Microphone", "on")
        folder = Path(tempfile.mkdtemp(prefix="tarnmixer-mic-"))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(BIN / "tarnmixer.exe", folder)
        (folder / "TB.ini").write_bytes(DEFAULT_INI.replace("\nMicMute=0", "\nMicMute=59").encode())
        app = support.Tarnbell(folder)
        self.addCleanup(app.kill)
        app.start().wait_ready()

        def leaves(mutes, word=None):
            if word:  # tarnmixer mic WORD, else the key
                done = wine(folder / "tarnmixer.exe", "mic", word)
                printed = ("muted" if mutes[0] else "on") + "\r\n"
                self.assertEqual((done.returncode, done.stdout, done.stderr), (0, printed, ""), word)
            else:
                app.driver("press", VK_DIVIDE, 100)
            names = ["Microphone", "Headset", "Webcam Microphone"]
            poll(lambda: [support.audio_endpoint(n)["mute"] for n in names] == mutes, f"{word} to leave {mutes}")

        leaves([True, True, True], "mute")
        leaves([False, False, True])
        leaves([True, True, True])
        leaves([False, False, True], "unmute")
        # Unplugged while muted, plugged in after the unmute: on as soon as it
        # returns, while Tarnbell runs, with no command.
        leaves([True, True, True], "off")
        support.audioctl("unplug", "Headset")
        leaves([False, True, True])
        support.audioctl("plug", "Headset")
        names = ["Microphone", "Headset", "Webcam Microphone"]
        poll(lambda: [support.audio_endpoint(n)["mute"] for n in names] == [False, False, True],
             "the Headset to come on when it returns")
        leaves([False, False, True], "on")


@unittest.skipUnless(CORE_AUDIO, "Windows' audio: the Core Audio run has these")
class DefaultOutput(Folder):
    """The stand-in's outputs Speakers (the default) and Headphones: the
    Channel list is 0 Default output, 1 Headphones, 2 Speakers."""

    def test_a_line_or_the_next_output_becomes_the_default_for_every_role(self):
        reset_audio()
        every_role = ["console", "multimedia", "communications"]
        self.prints("default", "2: Speakers\r\n")
        self.prints("default 1", "1: Headphones\r\n")
        self.assertEqual(default_outputs(), {"Headphones": every_role})
        self.prints("default next", "2: Speakers\r\n")
        self.assertEqual(default_outputs(), {"Speakers": every_role})
        # Calls stayed on the headphones: only that role moves.
        audioctl("default", "Headphones", "communications")
        self.prints("default NEXT", "1: Headphones\r\n")
        self.assertEqual(default_outputs(), {"Headphones": every_role})

        audioctl("policyconfig", "off")
        for args in [("default", "next"), ("default", "2")]:
            self.assertEqual(self.tarnmixer(*args), (3, "", REFUSED), args)
        self.assertEqual(default_outputs(), {"Headphones": every_role})
        self.prints("default", "1: Headphones\r\n")


if __name__ == "__main__":
    unittest.main()
