// The built TarnMixer.dll as the program meets it under Wine: registered by
// the program's RegisterComponentServer, created and driven through its
// TAudioMixer wrapper; and tarnmixer-list.exe's view of it.
#include <gtest/gtest.h>

#include <string>

#include "app/GlobeVar.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

std::string DllPath() { return ExecutableDirectory() + "TarnMixer.dll"; }

struct ToolRun {
    DWORD exitCode = ~0u;
    std::string output;  // stdout, line ends as "\n"
};

// Runs tarnmixer-list.exe from beside this program and collects what it prints.
ToolRun RunListTool()
{
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "\"" + ExecutableDirectory() + "tarnmixer-list.exe\"";
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            run.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    std::string text;
    for (char c : run.output)
        if (c != '\r') text += c;
    run.output = text;
    return run;
}

template <class Action>
ComError ErrorOf(Action action)
{
    try {
        action();
    } catch (const ComError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return ComError(S_OK, "");
}

class MixerComponentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_TRUE(RegisterComponentServer(DllPath(), true));
    }
    void TearDown() override { CoUninitialize(); }
    static void TearDownTestSuite() { RegisterComponentServer(DllPath(), false); }
};

// The program's device selection walks every device and asks whether it may
// be used: the output mixer may, the capture mixer may not.
TEST_F(MixerComponentTest, DevicesAsTheProgramSeesThem)
{
    TAudioMixer mixer;
    EXPECT_EQ(0, mixer.devOutput());
    ASSERT_EQ(1, mixer.devOutputMax());
    mixer.setDevOutput(1);
    EXPECT_FALSE(mixer.devOutputValid());
    EXPECT_EQ(0, mixer.srcOutputCount());
    mixer.setDevOutput(0);
    EXPECT_TRUE(mixer.devOutputValid());
    mixer.setTimerEnabled(true);
    mixer.setTimerInterval(80);
    EXPECT_EQ(65535, mixer.srcVolume());
}

TEST_F(MixerComponentTest, LinesOfTheOutputDevice)
{
    TAudioMixer mixer;
    ASSERT_EQ(2, mixer.srcOutputCount());
    for (int16_t line = 0; line < 2; ++line) {
        mixer.setSrcOutput(line);
        EXPECT_TRUE(mixer.srcOutputValid());
        EXPECT_EQ("Master Volume", mixer.srcOutputName());
    }
}

TEST_F(MixerComponentTest, VolumeAndMuteOfTheSpeakersLine)
{
    TAudioMixer mixer;
    mixer.setSrcOutput(0);
    for (int32_t v : {12345, 0, 65535, 1, 40001}) {
        mixer.setSrcVolume(v);
        EXPECT_EQ(v, mixer.srcVolume());
    }
    mixer.setSrcMute(true);
    EXPECT_TRUE(mixer.srcMute());
    mixer.setSrcMute(false);
    EXPECT_FALSE(mixer.srcMute());
}

TEST_F(MixerComponentTest, RefusedWritesRaiseTheComponentsText)
{
    TAudioMixer mixer;
    ComError device = ErrorOf([&] { mixer.setDevOutput(2); });
    EXPECT_EQ(DISP_E_BADINDEX, device.hr());
    EXPECT_STREQ("There is no device 2: they are 0 to 1.", device.what());
    ComError line = ErrorOf([&] { mixer.setSrcOutput(-1); });
    EXPECT_STREQ("There is no line -1: they are 0 to 1.", line.what());
    ComError volume = ErrorOf([&] { mixer.setSrcVolume(65536); });
    EXPECT_EQ(E_INVALIDARG, volume.hr());
    EXPECT_STREQ("The volume 65536 is outside 0 to 65535.", volume.what());
    EXPECT_EQ(0, mixer.devOutput());

    mixer.setDevOutput(1);  // the capture mixer: no lines to act on
    ComError none = ErrorOf([&] { mixer.srcVolume(); });
    EXPECT_STREQ("No line is selected: the device has no lines.", none.what());
}

TEST_F(MixerComponentTest, ListToolShowsWhatTheComponentSees)
{
    const ToolRun run = RunListTool();
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("Backend: winmm\n"
              "Devices: 2 (* = selected at start)\n"
              "* Device 0: valid\n"
              "    * Line 0: valid, \"Master Volume\", volume 65535, mute off\n"
              "      Line 1: valid, \"Master Volume\", volume 0, mute off\n"
              "  Device 1: not valid\n"
              "      (no lines)\n",
              run.output);
}

TEST_F(MixerComponentTest, UnregisteredTheComponentCannotBeCreated)
{
    ASSERT_TRUE(RegisterComponentServer(DllPath(), false));
    ComError error = ErrorOf([] { TAudioMixer mixer; });
    EXPECT_EQ(REGDB_E_CLASSNOTREG, error.hr());

    const ToolRun run = RunListTool();
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("TarnMixer could not be created: the class is not registered (0x80040154).\n",
              run.output);
}

}  // namespace
