"""The downloads of a Windows build: the zip holds exactly the shipped files
of the right processor and version; the installer, run silently under Wine in
a fresh prefix of its own, installs, starts Tarnbell through its Run value,
refuses to touch a running Tarnbell, upgrades in place keeping TB.ini and
uninstalls without a trace. Each build installs under names of its own, so
that both can be installed and removed independently.

Environment: TARNBELL_DIST (the folder with Tarnbell-<version>-<build>.zip and
-setup.exe), TARNBELL_VERSION; for the installer also TARNBELL_BUILD (win32 or
win64), TARNBELL_BIN (with tbdriver.exe), TARNBELL_PACKAGE_PREFIX (a Wine
prefix this test deletes and makes anew) and the Wine set-up of
scripts/wine-env.sh.
"""
import os
import re
import shutil
import subprocess
import unittest
import zipfile
from pathlib import Path

from tarnbell_support import CLSID, poll, reg_values, wine

DIST = Path(os.environ.get("TARNBELL_DIST", "dist"))
VERSION = os.environ.get("TARNBELL_VERSION", "")
SHIPPED = ["Tarnbell.exe", "TarnMixer.dll", "tarnbell.chm", "tarnmixer.exe", "readme.txt", "LICENSE.txt"]
MACHINE = {"win32": 0x14C, "win64": 0x8664}
UNINSTALLS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# The folder, uninstall entry, Start-menu entry and Run value of each build.
PRODUCT = {"win64": "Tarnbell", "win32": "Tarnbell (32-bit)"}
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CLASS_KEYS = [rf"HKLM\Software\Classes\CLSID\{CLSID}", rf"HKCU\Software\Classes\CLSID\{CLSID}"]
PROGID_KEYS = [rf"{hive}\Software\Classes\TarnMixer.AudioMixer{version}"
               for hive in ("HKLM", "HKCU") for version in ("", ".1")]
EXIT_TARNBELL_RUNNING = 2


def machine_of(image):
    pe = int.from_bytes(image[0x3C:0x40], "little")
    assert image[pe:pe + 4] == b"PE\0\0"
    return int.from_bytes(image[pe + 4:pe + 6], "little")


def version_of(image):
    """The FileVersion text of a version resource (UTF-16, 4-byte aligned)."""
    found = re.search(r"FileVersion\x00+([0-9.]+)\x00", image.decode("utf-16-le", "ignore"))
    return found and found.group(1)


class Zips(unittest.TestCase):
    def test_each_zip_holds_one_folder_with_the_shipped_files(self):
        zips = sorted(DIST.glob(f"Tarnbell-{VERSION}-win*.zip"))
        self.assertTrue(zips, f"no zip of version {VERSION} in {DIST}")
        for path in zips:
            build = path.stem.rsplit("-", 1)[1]
            with self.subTest(zip=path.name), zipfile.ZipFile(path) as archive:
                files = [n for n in archive.namelist() if not n.endswith("/")]
                folders = [n for n in archive.namelist() if n.endswith("/")]
                self.assertEqual(sorted(files), sorted(f"Tarnbell/{name}" for name in SHIPPED))
                self.assertEqual(folders, ["Tarnbell/"])
                for name in ["Tarnbell.exe", "TarnMixer.dll", "tarnmixer.exe"]:
                    image = archive.read(f"Tarnbell/{name}")
                    self.assertEqual(machine_of(image), MACHINE[build], name)
                for name in ["Tarnbell.exe", "TarnMixer.dll"]:
                    self.assertEqual(version_of(archive.read(f"Tarnbell/{name}")), VERSION, name)
                self.assertIn(f"Tarnbell {VERSION}".encode(), archive.read("Tarnbell/readme.txt"))


def unix_path(windows_path):
    return Path(wine("winepath", "-u", windows_path).stdout.strip())


class Installer(unittest.TestCase):
    def setUp(self):
        self.build = os.environ["TARNBELL_BUILD"]
        self.setup = DIST / f"Tarnbell-{VERSION}-{self.build}-setup.exe"
        self.product = PRODUCT[self.build]
        self.uninstall_key = rf"{UNINSTALLS}\{self.product}"
        self.tbdriver = Path(os.environ["TARNBELL_BIN"]) / "tbdriver.exe"
        prefix = Path(os.environ["TARNBELL_PACKAGE_PREFIX"])
        os.environ["WINEPREFIX"] = str(prefix)
        subprocess.run(["wineserver", "-k"], check=False)
        shutil.rmtree(prefix, ignore_errors=True)
        prefix.parent.mkdir(parents=True, exist_ok=True)
        self.assertEqual(wine("wineboot", "-i").returncode, 0, "a fresh Wine prefix")
        self.tarnbell = None

    def tearDown(self):
        if self.tarnbell and self.tarnbell.poll() is None:
            self.tarnbell.kill()
        subprocess.run(["wineserver", "-k"], check=False)

    def install(self):
        return wine(self.setup, "/S").returncode

    def driver(self, *args):
        done = wine(self.tbdriver, *args, env=dict(os.environ, TBDRIVER_EXE="Tarnbell.exe"), timeout=60)
        return done.returncode, done.stdout.strip()

    def snapshot(self, folder, shortcut):
        files = {p.name: (p.stat().st_mtime_ns, p.read_bytes()) for p in folder.iterdir()}
        return files, shortcut.stat().st_mtime_ns, reg_values(self.uninstall_key), reg_values(RUN_KEY)

    def test_install_start_upgrade_and_uninstall(self):
        folders = wine("cmd", "/c", "echo %LOCALAPPDATA%^|%APPDATA%").stdout
        local, roaming = folders.strip().split("|")

        # A silent install for this user.
        self.assertEqual(self.install(), 0)
        entry = reg_values(self.uninstall_key)
        home = local + rf"\Programs\{self.product}"
        exe = home + r"\Tarnbell.exe"
        folder = unix_path(home)
        self.assertEqual(entry["InstallLocation"].lower(), home.lower())
        self.assertEqual(sorted(p.name for p in folder.iterdir()), sorted(SHIPPED + ["Uninstall.exe"]))
        shortcut = unix_path(roaming + rf"\Microsoft\Windows\Start Menu\Programs\{self.product}.lnk")
        self.assertIn(exe.lower().encode(), shortcut.read_bytes().lower())
        self.assertEqual({k: v for k, v in entry.items() if k != "EstimatedSize"}, {
            "DisplayName": self.product, "DisplayVersion": VERSION, "Publisher": "Tarnbell developers",
            "DisplayIcon": exe + ",0", "InstallLocation": home,
            "UninstallString": f'"{home}\\Uninstall.exe"', "QuietUninstallString": f'"{home}\\Uninstall.exe" /S',
            "NoModify": 1, "NoRepair": 1})
        shipped_kb = sum(p.stat().st_size for p in folder.iterdir()) // 1024
        self.assertTrue(shipped_kb - 8 <= entry["EstimatedSize"] <= shipped_kb + 8, entry["EstimatedSize"])

        # Windows starts: the Run value's command starts Tarnbell in the
        # notification area, and its settings land in the install folder.
        command = reg_values(RUN_KEY)[self.product]
        self.assertEqual(command, f'"{exe}"')
        self.tarnbell = subprocess.Popen(["wine", command.strip('"')], stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        poll(lambda: self.driver("tray-icon") == (0, "1"), "Tarnbell's tray icon", 30)
        poll(lambda: (folder / "TB.ini").exists(), "TB.ini in the install folder", 30)
        self.assertIsNotNone(reg_values(CLASS_KEYS[0]), "Tarnbell registered its component")
        self.assertIsNotNone(reg_values(PROGID_KEYS[0]), "and its name for scripts")

        # While it runs, a silent install fails and changes nothing.
        before = self.snapshot(folder, shortcut)
        self.assertEqual(self.install(), EXIT_TARNBELL_RUNNING)
        self.assertEqual(self.snapshot(folder, shortcut), before)
        self.assertIsNone(self.tarnbell.poll())

        # Ended (as from the task manager: this test is about the files; the
        # window's Exit is the end-to-end tests' business), changed settings
        # survive an upgrade in place, and so does the choice not to start
        # with Windows.
        self.tarnbell.kill()
        self.tarnbell.wait(timeout=60)
        poll(lambda: self.driver("state")[0] != 0, "Tarnbell to be gone", 30)
        written = (folder / "TB.ini").read_bytes()
        settings = written.replace(b"StepUp=5", b"StepUp=2")
        self.assertNotEqual(settings, written)
        (folder / "TB.ini").write_bytes(settings)
        self.assertEqual(wine("reg", "delete", RUN_KEY, "/v", self.product, "/f").returncode, 0)
        self.assertEqual(self.install(), 0)
        self.assertEqual((folder / "TB.ini").read_bytes(), settings)
        self.assertNotIn(self.product, reg_values(RUN_KEY) or {})
        self.assertEqual(reg_values(self.uninstall_key)["InstallLocation"], home)

        # The uninstaller (it goes on from a copy of itself) leaves nothing,
        # not even the copy of a save that was cut short.
        (folder / "TB.ini.tmp").write_bytes(settings)
        uninstaller, options = re.fullmatch(r'"([^"]+)" (.*)', entry["QuietUninstallString"]).groups()
        self.assertEqual(wine(uninstaller, *options.split()).returncode, 0)
        poll(lambda: reg_values(self.uninstall_key) is None, "the uninstall entry to go", 30)
        self.assertFalse(folder.exists())
        self.assertFalse(shortcut.exists())
        self.assertNotIn(self.product, reg_values(RUN_KEY) or {})
        for key in CLASS_KEYS + PROGID_KEYS:
            self.assertIsNone(reg_values(key), key)


if __name__ == "__main__":
    unittest.main()
