// The built TarnMixer.dll as the program meets it under Wine: registered by
// the program's RegisterComponentServer, created and driven through its
// TAudioMixer wrapper; raw IDispatch calls that break COM's rules, as any
// script or program may make them; and tarnmixer.exe's view of it.
#include <gtest/gtest.h>

#include <string>

#include "TarnMixerIds.h"
#include "app/GlobeVar.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

std::string DllPath() { return ExecutableDirectory() + "TarnMixer.dll"; }

struct ToolRun {
    DWORD exitCode = ~0u;
    std::string output;  // stdout, line ends as "\n"
};

// Runs tarnmixer.exe from beside this program and collects what it prints.
ToolRun RunTool(const std::string& arguments)
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
    std::string command = "\"" + ExecutableDirectory() + "tarnmixer.exe\" " + arguments;
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

// Missing pointers, counts that do not match and arguments that point
// nowhere get an error code and change nothing; the object stays usable.
TEST_F(MixerComponentTest, CallsThatBreakTheRulesGetErrorCodes)
{
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&dispatch)));
    TAudioMixer mixer(dispatch.Get());
    mixer.setSrcVolume(1234);

    LONG* nowhere = nullptr;
    VARIANT value, nullRef, refToNull, refToRef;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 777;
    V_VT(&nullRef) = VT_I4 | VT_BYREF;
    V_I4REF(&nullRef) = nowhere;
    V_VT(&refToNull) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&refToNull) = &nullRef;
    V_VT(&refToRef) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&refToRef) = &refToNull;
    DISPID named = DISPID_PROPERTYPUT, otherName = 5;
    const struct {
        const char* what;
        WORD flags;
        DISPPARAMS params;
        HRESULT expected;
    } calls[] = {
        {"put, no name list", DISPATCH_PROPERTYPUT, {&value, nullptr, 1, 1}, E_POINTER},
        {"put, no argument list", DISPATCH_PROPERTYPUT, {nullptr, &named, 1, 1}, E_POINTER},
        {"get, no argument list", DISPATCH_PROPERTYGET, {nullptr, nullptr, 1, 0}, E_POINTER},
        {"get, more names than arguments",
         DISPATCH_PROPERTYGET,
         {nullptr, nullptr, 0, 1},
         DISP_E_BADPARAMCOUNT},
        {"put, more names than arguments",
         DISPATCH_PROPERTYPUT,
         {&value, &named, 1, 2},
         DISP_E_BADPARAMCOUNT},
        {"put, argument of another name",
         DISPATCH_PROPERTYPUT,
         {&value, &otherName, 1, 1},
         DISP_E_PARAMNOTFOUND},
        {"put, reference to nothing", DISPATCH_PROPERTYPUT, {&nullRef, &named, 1, 1}, E_POINTER},
        {"put, through a VARIANT to nothing",
         DISPATCH_PROPERTYPUT,
         {&refToNull, &named, 1, 1},
         E_POINTER},
        {"put, reference to a reference",
         DISPATCH_PROPERTYPUT,
         {&refToRef, &named, 1, 1},
         DISP_E_TYPEMISMATCH},
    };
    for (auto call : calls) {
        VARIANT result;
        VariantInit(&result);
        UINT argError = 0;
        EXPECT_EQ(call.expected,
                  dispatch->Invoke(TarnMixerDispid::srcVolume, IID_NULL, 0, call.flags,
                                   &call.params, &result, nullptr, &argError))
            << call.what;
        VariantClear(&result);
    }
    for (WORD flags : {DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT})
        EXPECT_EQ(E_POINTER, dispatch->Invoke(TarnMixerDispid::srcVolume, IID_NULL, 0, flags,
                                              nullptr, nullptr, nullptr, nullptr));

    LPOLESTR noName = nullptr;
    DISPID id = 0;
    EXPECT_EQ(E_POINTER, dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id));
    EXPECT_EQ(E_POINTER, dispatch->GetIDsOfNames(IID_NULL, &noName, 1, 0, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &noName, 1, 0, &id));
    EXPECT_EQ(E_POINTER, dispatch->GetTypeInfoCount(nullptr));
    EXPECT_EQ(E_POINTER, dispatch->QueryInterface(IID_IDispatch, nullptr));

    EXPECT_EQ(1234, mixer.srcVolume());
}

TEST_F(MixerComponentTest, ListToolShowsWhatTheComponentSees)
{
    const ToolRun run = RunTool("list");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("Backend: winmm: Core Audio cannot set the volume here\n"
              "Microphones: 1, not all muted\n"
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

    // The tool takes the DLL beside it, registered or not.
    const ToolRun run = RunTool("mute on");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("100 muted\n", run.output);
}

}  // namespace
