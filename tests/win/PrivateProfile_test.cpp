// The settings file through the real private-profile functions, in a fresh
// temporary folder per test.
#include "settings/PrivateProfileStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>

#include "common/TextError.h"
#include "common/Utf16.h"

namespace {

// A new empty folder under the temp path; removes the files it handed out.
class TempFolder {
public:
    explicit TempFolder(const std::string& name = "tbst")
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        for (unsigned n = GetTickCount();; ++n) {
            Dir = Utf8(temp) + name + std::to_string(GetCurrentProcessId()) + "_" +
                  std::to_string(n) + "\\";
            if (CreateDirectoryW(Utf16(Dir).c_str(), nullptr)) break;
        }
    }
    ~TempFolder()
    {
        for (const std::string& file : Files)
            DeleteFileW(Utf16(file).c_str());
        RemoveDirectoryW(Utf16(Dir).c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with its trailing backslash, as the program's folder is.
    const std::string& Path() const { return Dir; }
    void WillHold(const std::string& file) { Files.push_back(file); }

private:
    std::string Dir;
    std::vector<std::string> Files;
};

// Holds a file open as another program may: with no sharing at all, or
// letting others read and write it but not delete or replace it.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::string& file, DWORD share = 0)
        : Handle(CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ExclusiveHold()
    {
        if (Held()) CloseHandle(Handle);
    }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

    bool Held() const { return Handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE Handle;
};

std::string ReadBytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

TEST(PrivateProfileTest, FirstStartCreatesTheFileWithDefaults)
{
    TempFolder folder;
    const std::string file = SettingsFileName(folder.Path());
    folder.WillHold(file);
    folder.WillHold(file + ".tmp");
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(folder.Path()));  // a folder is not the settings file
    // What an earlier run left when it was killed while saving.
    WriteBytes(file + ".tmp", "[Hotkey]\r\nVolumeUp=3\r\n[Stale]\r\nx=1\r\n");

    TakeOverInterruptedSave(file);  // a copy cut short is not taken
    EXPECT_FALSE(FileExists(file));
    PrivateProfileStore store(file);
    SettingsChoices choices;
    choices.VolumeUp = 3;  // the hotkeys go to their defaults
    LoadOrCreateSettings(store, FileExists(file), choices);

    EXPECT_TRUE(FileExists(folder.Path() + "TB.ini"));
    EXPECT_EQ(ReadBytes(file),
              "[Hotkey]\r\nPreVolumeUp=0\r\nVolumeUp=55\r\nPreVolumeDown=0\r\nVolumeDown=56\r\n"
              "PreMute=0\r\nMute=57\r\nPreMicMute=0\r\nMicMute=0\r\n"
              "PreNextOutput=0\r\nNextOutput=0\r\nPreAppUp=0\r\nAppUp=0\r\n"
              "PreAppDown=0\r\nAppDown=0\r\nPreAppMute=0\r\nAppMute=0\r\n[Step]\r\nStepUp="
              "5\r\nStepDown=5\r\n"
              "[Display]\r\nShowLevel=1\r\nTrayWheel=1\r\n");
    EXPECT_FALSE(FileExists(file + ".tmp"));

    SettingsChoices again;
    again.StepUp = 0;
    LoadOrCreateSettings(store, FileExists(file), again);
    EXPECT_EQ(again, SettingsChoices{});
}

// A FAT drive replaces the file in two steps; a cut between them leaves the
// whole copy, which the next start takes, in any folder.
TEST(PrivateProfileTest, StartTakesTheWholeCopyOfAnInterruptedSave)
{
    TempFolder folder(u8"Дмитрий 音量");
    const std::string file = SettingsFileName(folder.Path());
    folder.WillHold(file);
    SettingsChoices saved;
    saved.Mute = 12;
    PrivateProfileStore copy(file + ".tmp");
    SaveSettings(copy, saved);
    TakeOverInterruptedSave(file);
    PrivateProfileStore store(file);
    EXPECT_EQ(LoadSettings(store), saved);
    EXPECT_FALSE(FileExists(file + ".tmp"));
}

TEST(PrivateProfileTest, PartialFileLoadsDefaultsAndIsCompletedBySave)
{
    TempFolder folder;
    const std::string file = SettingsFileName(folder.Path());
    folder.WillHold(file);
    // Blanks around a value are dropped by the system before we see it.
    WriteBytes(file, "[Step]\r\nStepUp=0x3\r\nStepDown = 7 \r\n[Hotkey]\r\nVolumeUp=12\r\n"
                     "Mute=abc\r\n");

    PrivateProfileStore store(file);
    SettingsChoices expected;
    expected.VolumeUp = 12;
    expected.StepUp = 3;
    expected.StepDown = 7;
    const SettingsChoices loaded = LoadSettings(store);
    EXPECT_EQ(loaded, expected);

    SaveSettings(store, loaded);
    PrivateProfileStore reopened(file);
    EXPECT_EQ(LoadSettings(reopened), expected);
    for (const char* key : {"PreVolumeUp", "VolumeUp", "PreVolumeDown", "VolumeDown", "PreMute"}) {
        EXPECT_NE(reopened.ReadString("Hotkey", key, "none"), "none") << key;
    }
    EXPECT_EQ(reopened.ReadString("Hotkey", "Mute", ""), "57");
    EXPECT_EQ(reopened.ReadString("Step", "StepUp", ""), "3");
}

// A save replaces the whole file, yet everything it does not own stays as
// it was: comments, other sections and keys, their order. (Wine's profile
// writer drops blank lines, with or without the copy.)
TEST(PrivateProfileTest, SaveKeepsTheRestOfTheFile)
{
    TempFolder folder;
    const std::string file = SettingsFileName(folder.Path());
    folder.WillHold(file);
    folder.WillHold(file + ".tmp");
    WriteBytes(file, "; Tarnbell\r\n[Other]\r\nName=kept\r\n[Hotkey]\r\nVolumeUp=12\r\n"
                     "; mine\r\nExtra=1\r\n[Step]\r\nStepDown=2\r\n[Tail]\r\nz=\r\n");

    PrivateProfileStore store(file);
    SettingsChoices choices;
    choices.VolumeUp = 7;
    choices.StepDown = 8;
    SaveSettings(store, choices);

    EXPECT_EQ(
        ReadBytes(file),
        "; Tarnbell\r\n[Other]\r\nName=kept\r\n[Hotkey]\r\nVolumeUp=7\r\n"
        "; mine\r\nExtra=1\r\nPreVolumeUp=0\r\nPreVolumeDown=0\r\nVolumeDown=56\r\n"
        "PreMute=0\r\nMute=57\r\nPreMicMute=0\r\nMicMute=0\r\n"
        "PreNextOutput=0\r\nNextOutput=0\r\nPreAppUp=0\r\nAppUp=0\r\n"
        "PreAppDown=0\r\nAppDown=0\r\nPreAppMute=0\r\nAppMute=0\r\n[Step]\r\nStepDown=8\r\nStepUp="
        "5\r\n[Tail]\r\nz=\r\n"
        "[Display]\r\nShowLevel=1\r\nTrayWheel=1\r\n");
    EXPECT_FALSE(FileExists(file + ".tmp"));
    EXPECT_EQ(LoadSettings(store), choices);
}

TEST(PrivateProfileTest, ReadsValuesLongerThanOneBuffer)
{
    TempFolder folder;
    const std::string file = folder.Path() + "long.ini";
    folder.WillHold(file);
    const std::string value(3000, '7');
    WriteBytes(file, "[Step]\r\nStepUp=" + value + "\r\n");

    PrivateProfileStore store(file);
    EXPECT_EQ(store.ReadString("Step", "StepUp", ""), value);
    EXPECT_EQ(store.ReadString("Step", "StepDown", "fallback"), "fallback");
    EXPECT_EQ(LoadSettings(store).StepUp, 5);
}

// The file may be held by another program, or its folder may be gone. (A
// read-only attribute does not stop the write under Wine run as root: the
// host's root ignores the missing write permission, so that case cannot be
// shown here.)
TEST(PrivateProfileTest, SaveThrowsWhenTheFileCannotBeWritten)
{
    TempFolder folder;
    const std::string file = SettingsFileName(folder.Path());
    folder.WillHold(file);
    folder.WillHold(file + ".tmp");
    const std::string before = "[Step]\r\nStepUp=1\r\n";
    WriteBytes(file, before);
    // Unreadable, so not even the copy can be made; then readable but not
    // replaceable, so the finished copy cannot take the file's place.
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        {
            ExclusiveHold hold(file, share);
            ASSERT_TRUE(hold.Held());
            PrivateProfileStore store(file);
            EXPECT_THROW(SaveSettings(store, SettingsChoices{}), TextError) << share;
        }
        EXPECT_EQ(ReadBytes(file), before) << share;
        EXPECT_FALSE(FileExists(file + ".tmp")) << share;
    }

    PrivateProfileStore gone(folder.Path() + "missing\\TB.ini");
    SettingsChoices choices;
    choices.Mute = 4;
    EXPECT_THROW(LoadOrCreateSettings(gone, false, choices), TextError);
    EXPECT_EQ(choices.Mute, 57);
    EXPECT_FALSE(FileExists(folder.Path() + "missing\\TB.ini"));
}

}  // namespace
