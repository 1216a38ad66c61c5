// The component's object (IDispatch, property logic) against a fake backend.
#include <gtest/gtest.h>

#include "AudioMixer.h"
#include "DispatchHelpers.h"
#include "FakeBackend.h"
#include "TarnMixerIds.h"

using Microsoft::WRL::ComPtr;
namespace Id = TarnMixerDispid;

namespace {

FakeLine Line(const wchar_t* name, bool valid = true, uint16_t volume = 0)
{
    FakeLine l;
    l.name = name;
    l.valid = valid;
    l.volume = volume;
    return l;
}

// Three devices: 0 unusable without lines, 1 (the system's preferred) with a
// master and two sources, one of them not valid; 2 usable with one line.
std::shared_ptr<FakeAudio> ThreeDevices()
{
    auto audio = std::make_shared<FakeAudio>();
    audio->devices.push_back({false, {}});
    audio->devices.push_back(
        {true, {Line(L"Master", true, 40000), Line(L"Wave", true, 100), Line(L"Monitor", false)}});
    audio->devices.push_back({true, {Line(L"Headphones", true, 65535)}});
    audio->preferred = 1;
    return audio;
}

class AudioMixerTest : public ::testing::Test {
protected:
    void Create(std::shared_ptr<FakeAudio> audio)
    {
        audio_ = audio;
        ASSERT_EQ(S_OK, CreateAudioMixer(std::make_unique<FakeBackend>(audio), IID_IDispatch,
                                         reinterpret_cast<void**>(dispatch_.GetAddressOf()),
                                         std::make_unique<FakeMicrophoneStore>(memory_)));
        mixer_ = std::make_unique<Dispatcher>(dispatch_.Get());
    }
    void SetUp() override { Create(ThreeDevices()); }

    // Expects the access to fail as the component's own error.
    static void ExpectComponentError(const CallResult& r, HRESULT scode, const wchar_t* words)
    {
        EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
        EXPECT_EQ(scode, r.scode);
        EXPECT_EQ(L"TarnMixer", r.source);
        EXPECT_NE(std::wstring::npos, r.description.find(words))
            << "text: " << r.description.c_str();
    }

    ComApartment apartment_;
    std::shared_ptr<FakeAudio> audio_;
    // The user's memory of muted microphones, kept across Create as across processes.
    std::shared_ptr<MicrophoneMemory> memory_ = std::make_shared<MicrophoneMemory>();
    ComPtr<IDispatch> dispatch_;
    std::unique_ptr<Dispatcher> mixer_;
};

TEST_F(AudioMixerTest, StartsOnThePreferredDeviceAndItsFirstLine)
{
    EXPECT_EQ(1, mixer_->GetLong(Id::devOutput));
    EXPECT_EQ(2, mixer_->GetLong(Id::devOutputMax));
    EXPECT_TRUE(mixer_->GetBool(Id::devOutputValid));
    EXPECT_EQ(3, mixer_->GetLong(Id::srcOutputCount));
    EXPECT_EQ(L"Master", mixer_->GetString(Id::srcOutputName));
    EXPECT_EQ(40000, mixer_->GetLong(Id::srcVolume));
    EXPECT_EQ(L"Fake", mixer_->GetString(Id::BackendName));
}

TEST_F(AudioMixerTest, PropertiesComeBackWithTheirOwnTypes)
{
    const struct {
        DISPID id;
        VARTYPE type;
    } expected[] = {
        {Id::devOutputValid, VT_BOOL}, {Id::srcOutputValid, VT_BOOL}, {Id::devOutput, VT_I2},
        {Id::devOutputMax, VT_I2},     {Id::srcOutputCount, VT_I2},   {Id::srcOutputName, VT_BSTR},
        {Id::srcVolume, VT_I4},        {Id::srcMute, VT_BOOL},        {Id::BackendName, VT_BSTR}};
    for (const auto& e : expected) {
        CallResult r;
        mixer_->Get(e.id, r);
        EXPECT_EQ(S_OK, r.hr) << e.id;
        EXPECT_EQ(e.type, V_VT(&r.value)) << e.id;
    }
    CallResult valid;
    mixer_->Get(Id::devOutputValid, valid);
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&valid.value));  // -1, not merely non-zero
}

// The program's device selection: every device is selected in turn and
// asked whether it may be used.
TEST_F(AudioMixerTest, SelectingADeviceShowsItsValidityAndLines)
{
    const bool valid[] = {false, true, true};
    const long lines[] = {0, 3, 1};
    for (long j = 0; j <= mixer_->GetLong(Id::devOutputMax); ++j) {
        ASSERT_EQ(S_OK, mixer_->PutLong(Id::devOutput, j));
        EXPECT_EQ(j, mixer_->GetLong(Id::devOutput));
        EXPECT_EQ(valid[j], mixer_->GetBool(Id::devOutputValid)) << j;
        EXPECT_EQ(lines[j], mixer_->GetLong(Id::srcOutputCount)) << j;
    }
    // A device without lines has no selected line.
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::devOutput, 0));
    EXPECT_FALSE(mixer_->GetBool(Id::srcOutputValid));
    CallResult r;
    mixer_->Get(Id::srcVolume, r);
    ExpectComponentError(r, DISP_E_BADINDEX, L"no lines");
    mixer_->Get(Id::srcOutputName, r);
    ExpectComponentError(r, DISP_E_BADINDEX, L"no lines");
}

TEST_F(AudioMixerTest, ADeviceIsReadAfreshEachTimeItIsSelected)
{
    const int before = audio_->opened;
    audio_->devices[2].lines.push_back(Line(L"Line In"));
    EXPECT_EQ(3, mixer_->GetLong(Id::srcOutputCount));  // device 1 still as read
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::devOutput, 2));
    EXPECT_EQ(2, mixer_->GetLong(Id::srcOutputCount));
    EXPECT_EQ(before + 1, audio_->opened);
}

TEST_F(AudioMixerTest, LinesAreSelectedByIndexAndReachTheirOwnControls)
{
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::srcOutput, 1));
    EXPECT_TRUE(mixer_->GetBool(Id::srcOutputValid));
    EXPECT_EQ(L"Wave", mixer_->GetString(Id::srcOutputName));
    EXPECT_EQ(100, mixer_->GetLong(Id::srcVolume));
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::srcVolume, 12345));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::srcMute, true));
    EXPECT_EQ(12345, audio_->devices[1].lines[1].volume);
    EXPECT_TRUE(audio_->devices[1].lines[1].mute);
    EXPECT_EQ(40000, audio_->devices[1].lines[0].volume);
    EXPECT_FALSE(audio_->devices[1].lines[0].mute);
    EXPECT_EQ(12345, mixer_->GetLong(Id::srcVolume));
    EXPECT_TRUE(mixer_->GetBool(Id::srcMute));

    ASSERT_EQ(S_OK, mixer_->PutLong(Id::srcOutput, 2));
    EXPECT_FALSE(mixer_->GetBool(Id::srcOutputValid));
    EXPECT_EQ(L"Monitor", mixer_->GetString(Id::srcOutputName));

    // Selecting a device starts again at its first line.
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::devOutput, 1));
    EXPECT_EQ(L"Master", mixer_->GetString(Id::srcOutputName));
}

TEST_F(AudioMixerTest, VolumeEndsAreAcceptedAndValuesBeyondThemRefused)
{
    for (long v : {0L, 65535L}) {
        ASSERT_EQ(S_OK, mixer_->PutLong(Id::srcVolume, v));
        EXPECT_EQ(v, mixer_->GetLong(Id::srcVolume));
    }
    for (long v : {-1L, 65536L, 100000L}) {
        CallResult r;
        mixer_->PutLong(Id::srcVolume, v, r);
        ExpectComponentError(r, E_INVALIDARG, L"outside 0 to 65535");
    }
    EXPECT_EQ(65535, audio_->devices[1].lines[0].volume);
}

TEST_F(AudioMixerTest, IndexesOutOfRangeAreRefusedAndChangeNothing)
{
    for (long bad : {-1L, 3L, 200L}) {
        CallResult r;
        mixer_->PutLong(Id::devOutput, bad, r);
        ExpectComponentError(r, DISP_E_BADINDEX, L"device");
        EXPECT_NE(std::wstring::npos, r.description.find(L"0 to 2")) << r.description.c_str();
    }
    EXPECT_EQ(1, mixer_->GetLong(Id::devOutput));
    ASSERT_EQ(S_OK, mixer_->PutLong(Id::srcOutput, 1));
    for (long bad : {-1L, 3L}) {
        CallResult r;
        mixer_->PutLong(Id::srcOutput, bad, r);
        ExpectComponentError(r, DISP_E_BADINDEX, L"line");
    }
    EXPECT_EQ(L"Wave", mixer_->GetString(Id::srcOutputName));
}

TEST_F(AudioMixerTest, AudioFailuresBecomeExceptionsWithTheUnderlyingCode)
{
    audio_->devices[1].lines[0].failure = E_NOTIMPL;
    CallResult r;
    mixer_->PutLong(Id::srcVolume, 5, r);
    ExpectComponentError(r, E_NOTIMPL, L"fake line failed");
    mixer_->Get(Id::srcMute, r);
    ExpectComponentError(r, E_NOTIMPL, L"fake line failed");
}

TEST_F(AudioMixerTest, WithoutDevicesNothingIsSelected)
{
    Create(std::make_shared<FakeAudio>());
    EXPECT_EQ(-1, mixer_->GetLong(Id::devOutputMax));
    EXPECT_FALSE(mixer_->GetBool(Id::devOutputValid));
    EXPECT_EQ(0, mixer_->GetLong(Id::srcOutputCount));
    EXPECT_FALSE(mixer_->GetBool(Id::srcOutputValid));
    CallResult r;
    mixer_->PutLong(Id::devOutput, 0, r);
    ExpectComponentError(r, DISP_E_BADINDEX, L"there are none");
    mixer_->Get(Id::srcMute, r);
    ExpectComponentError(r, DISP_E_BADINDEX, L"No device");
}

// Three microphones: the default one, a headset the user had muted, and a
// webcam. Each Create is another process with the same user's memory: an
// unmute anywhere gives back exactly what a mute anywhere took.
TEST_F(AudioMixerTest, MicrophonesMuteTogetherAndUnmuteToWhatTheyWere)
{
    audio_->microphones = {{L"{builtin}", false, true}, {L"{headset}", true}, {L"{webcam}"}};
    FakeMicrophone& webcam = audio_->microphones[2];
    auto muted = [&] {
        std::wstring states;
        for (const FakeMicrophone& m : audio_->microphones)
            states += m.muted ? L'M' : L'-';
        return states;
    };
    EXPECT_EQ(3, mixer_->GetLong(Id::micCount));
    EXPECT_FALSE(mixer_->GetBool(Id::micMute));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, true));
    EXPECT_EQ(L"MMM", muted());
    EXPECT_TRUE(mixer_->GetBool(Id::micMute));
    Create(audio_);
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"-M-", muted());
    EXPECT_FALSE(mixer_->GetBool(Id::micMute));

    // The webcam unplugged while muted stays owed through the unmute and a
    // new mute, and comes on when seen again at the next command.
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, true));
    webcam.present = false;
    Create(audio_);
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"-MM", muted());
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, true));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"-MM", muted());
    webcam.present = true;
    Create(audio_);
    EXPECT_FALSE(mixer_->GetBool(Id::micMute));
    EXPECT_EQ(L"-M-", muted());

    // A new mute starts a new memory: the headset, taken by the one before
    // and muted by hand since, stays muted.
    audio_->microphones[1].muted = false;
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, true));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"---", muted());
    audio_->microphones[1].muted = true;
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, true));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"-M-", muted());

    // Muted by someone else, nothing remembered: the default comes on, and
    // with no default named, every one rather than none.
    for (FakeMicrophone& m : audio_->microphones)
        m.muted = true;
    EXPECT_TRUE(mixer_->GetBool(Id::micMute));
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"-MM", muted());
    audio_->microphones[0].isDefault = false;
    audio_->microphones[0].muted = true;
    ASSERT_EQ(S_OK, mixer_->PutBool(Id::micMute, false));
    EXPECT_EQ(L"---", muted());

    audio_->microphones.clear();
    EXPECT_EQ(0, mixer_->GetLong(Id::micCount));
    CallResult r;
    mixer_->Get(Id::micMute, r);
    ExpectComponentError(r, HRESULT_FROM_WIN32(ERROR_NOT_FOUND), L"There is no microphone now.");
    EXPECT_EQ(DISP_E_EXCEPTION, mixer_->PutBool(Id::micMute, true));
}

// A backend without audio sessions (the winmm mixer) refuses every property
// of a program's volume with the one text that says why.
TEST_F(AudioMixerTest, ProgramVolumeWithoutSessionsSaysWindowsXpHasNone)
{
    for (DISPID id : {Id::appName, Id::appDisplayName, Id::appSessionCount, Id::appLevel,
                      Id::appMute, Id::appList}) {
        CallResult r;
        mixer_->Get(id, r);
        ExpectComponentError(r, E_FAIL, L"Windows XP has no volume per program.");
    }
    EXPECT_EQ(DISP_E_EXCEPTION, mixer_->PutLong(Id::appProcess, 4));
    EXPECT_EQ(DISP_E_EXCEPTION, mixer_->PutLong(Id::appStep, -100));
}

TEST_F(AudioMixerTest, AccessAgainstThePropertysDirectionIsRefused)
{
    for (DISPID readOnly : {Id::devOutputValid, Id::srcOutputValid, Id::devOutputMax,
                            Id::srcOutputCount, Id::srcOutputName, Id::BackendName, Id::micCount,
                            Id::appDisplayName, Id::appSessionCount, Id::appList})
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, mixer_->PutLong(readOnly, 0)) << readOnly;
    for (DISPID writeOnly : {Id::TimerInterval, Id::TimerEnabled, Id::srcOutput, Id::appStep}) {
        CallResult r;
        mixer_->Get(writeOnly, r);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, r.hr) << writeOnly;
    }
    for (DISPID unknown : {0, 21, 30, 37, 40, 99, 105, 118, DISPID_VALUE}) {
        CallResult r;
        mixer_->Get(unknown, r);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, r.hr) << unknown;
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, mixer_->PutLong(unknown, 0)) << unknown;
    }
    EXPECT_EQ(S_OK, mixer_->PutLong(Id::TimerInterval, 80));
    EXPECT_EQ(S_OK, mixer_->PutBool(Id::TimerEnabled, true));
}

TEST_F(AudioMixerTest, MalformedCallsAreRefused)
{
    CallResult r;
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              dispatch_->Invoke(Id::srcVolume, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none,
                                &r.value, nullptr, nullptr));
    // A put whose argument is not named DISPID_PROPERTYPUT.
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 1;
    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    mixer_->Call(Id::srcVolume, DISPATCH_PROPERTYPUT, unnamed, nullptr, r);
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, r.hr);
    // A get with an argument, a put without one.
    DISPPARAMS oneArgument{&value, nullptr, 1, 0};
    mixer_->Call(Id::srcVolume, DISPATCH_PROPERTYGET, oneArgument, &r.value, r);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, r.hr);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS noArgument{nullptr, &named, 0, 1};
    mixer_->Call(Id::srcVolume, DISPATCH_PROPERTYPUT, noArgument, nullptr, r);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, r.hr);
    EXPECT_EQ(40000, audio_->devices[1].lines[0].volume);
}

TEST_F(AudioMixerTest, PutsTakeTheUsualCoercions)
{
    Variant text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"12345");
    CallResult r;
    mixer_->Put(Id::srcVolume, text, r);
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(12345, audio_->devices[1].lines[0].volume);

    VARIANT real;
    V_VT(&real) = VT_R8;
    V_R8(&real) = 2.0;
    mixer_->Put(Id::devOutput, real, r);
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(2, mixer_->GetLong(Id::devOutput));

    LONG target = 777;
    VARIANT byRef;
    V_VT(&byRef) = VT_I4 | VT_BYREF;
    V_I4REF(&byRef) = &target;
    mixer_->Put(Id::srcVolume, byRef, r);
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(777, audio_->devices[2].lines[0].volume);

    VARIANT one;
    V_VT(&one) = VT_I2;
    V_I2(&one) = 1;
    mixer_->Put(Id::srcMute, one, r);
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_TRUE(audio_->devices[2].lines[0].mute);
}

TEST_F(AudioMixerTest, ValuesThatDoNotConvertAreRefused)
{
    Variant word;
    V_VT(&word) = VT_BSTR;
    V_BSTR(&word) = SysAllocString(L"loud");
    CallResult r;
    mixer_->Put(Id::srcVolume, word, r);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, r.hr);
    EXPECT_EQ(0u, r.argError);
    mixer_->Put(Id::srcMute, word, r);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, r.hr);

    mixer_->PutLong(Id::devOutput, 70000, r);  // no 16-bit value
    EXPECT_EQ(DISP_E_OVERFLOW, r.hr);
    EXPECT_EQ(1, mixer_->GetLong(Id::devOutput));
    EXPECT_EQ(40000, audio_->devices[1].lines[0].volume);
}

TEST_F(AudioMixerTest, NamesMapToTheirDispidsWhateverTheirCase)
{
    const struct {
        const wchar_t* name;
        DISPID id;
    } names[] = {{L"devOutputValid", 22}, {L"SRCOUTPUTVALID", 23}, {L"timerinterval", 26},
                 {L"TimerEnabled", 27},   {L"devOutput", 28},      {L"DevOutputMax", 29},
                 {L"srcOutput", 34},      {L"srcOutputCount", 35}, {L"srcoutputname", 36},
                 {L"srcVolume", 38},      {L"SrcMute", 39},        {L"BackendName", 100}};
    for (const auto& n : names) {
        LPOLESTR name = const_cast<LPOLESTR>(n.name);
        DISPID id = 0;
        EXPECT_EQ(S_OK, dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)) << n.id;
        EXPECT_EQ(n.id, id);
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"srcVolumes"), const_cast<LPOLESTR>(L"x")};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch_->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids));
    EXPECT_EQ(DISPID_UNKNOWN, ids[0]);
    // The properties take no named arguments.
    LPOLESTR withArgument[] = {const_cast<LPOLESTR>(L"srcVolume"), const_cast<LPOLESTR>(L"x")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch_->GetIDsOfNames(IID_NULL, withArgument, 2, 0, ids));
    EXPECT_EQ(38, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);

    UINT count = 99;
    EXPECT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
}

TEST_F(AudioMixerTest, OffersIDispatchAndIUnknownOnly)
{
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, dispatch_.As(&unknown));
    ComPtr<IDispatch> again;
    EXPECT_EQ(S_OK, unknown.As(&again));
    EXPECT_EQ(dispatch_.Get(), again.Get());
    ComPtr<IPersist> persist;
    EXPECT_EQ(E_NOINTERFACE, dispatch_.As(&persist));

    IDispatch* none = nullptr;
    EXPECT_EQ(E_NOINTERFACE, CreateAudioMixer(std::make_unique<FakeBackend>(audio_), IID_IPersist,
                                              reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
}

}  // namespace
