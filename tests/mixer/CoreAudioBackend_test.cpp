// The Core Audio backend against fake Core Audio objects, alone, behind the
// component's IDispatch object, and as tarnmixer list shows it.
#include <gtest/gtest.h>

#include "AudioMixer.h"
#include "Backends.h"
#include "CoreAudioBackend.h"
#include "CoreAudioFakes.h"
#include "DefaultOutput.h"
#include "DispatchHelpers.h"
#include "MixerListing.h"
#include "TarnMixerIds.h"
#include "VolumeScale.h"

using Microsoft::WRL::ComPtr;
namespace Id = TarnMixerDispid;

namespace {

const HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

FakeEndpoint Endpoint(const wchar_t* id, const wchar_t* name)
{
    FakeEndpoint e;
    e.id = id;
    e.name = name;
    return e;
}

// Listed by name they are lines 1 HDMI, 2 Speakers (the default), 3 USB.
std::shared_ptr<FakeCoreAudio> ThreeEndpoints()
{
    auto audio = std::make_shared<FakeCoreAudio>();
    audio->endpoints = {Endpoint(L"{usb}", L"USB Headset"),
                        Endpoint(L"{spk}", L"Speakers (High Definition Audio)"),
                        Endpoint(L"{hdmi}", L"HDMI Output")};
    audio->SetDefaults(eRender, 1);
    return audio;
}
enum { Usb, Speakers, Hdmi };
enum { DefaultLine, HdmiLine, SpeakersLine, UsbLine };

template <class Action>
MixerError ErrorOf(Action action)
{
    try {
        action();
    } catch (const MixerError& e) {
        return e;
    }
    return MixerError(S_OK, "no error");
}

// Expects `action` to fail with a component error `code` saying `text`.
#define EXPECT_MIXER_ERROR(code, text, action)                                                     \
    do {                                                                                           \
        const MixerError e = ErrorOf([&] { action; });                                             \
        EXPECT_EQ(code, e.hr());                                                                   \
        EXPECT_STREQ(text, e.what());                                                              \
    } while (0)

class CoreAudioBackendTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeCoreAudio> audio_ = ThreeEndpoints();
    CoreAudioBackend backend_{MakeFakeEnumerator(audio_)};
    std::unique_ptr<MixerDevice> device_ = backend_.OpenDevice(0);
};

TEST_F(CoreAudioBackendTest, OneDeviceListsTheDefaultThenEveryOutputByName)
{
    EXPECT_EQ(L"Core Audio", std::wstring(backend_.Name()));
    EXPECT_EQ(1, backend_.DeviceCount());
    EXPECT_EQ(0, backend_.DefaultDevice());
    EXPECT_EQ(eRender, audio_->flowAsked);
    EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_ACTIVE), audio_->stateAsked);
    const std::vector<std::wstring> names = {L"Default output", L"HDMI Output",
                                             L"Speakers (High Definition Audio)", L"USB Headset"};
    EXPECT_TRUE(device_->Valid());
    ASSERT_EQ(4, device_->LineCount());
    for (int line = 0; line < 4; ++line) {
        EXPECT_TRUE(device_->LineValid(line)) << line;
        EXPECT_EQ(names[line], device_->LineName(line));
    }
    // The system listing them in another order changes nothing.
    std::swap(audio_->endpoints[Usb], audio_->endpoints[Hdmi]);
    auto again = backend_.OpenDevice(0);
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(names[line], again->LineName(line));
}

TEST_F(CoreAudioBackendTest, TheDefaultLineFollowsTheSystemDefaultAtEveryAccess)
{
    device_->SetVolume(DefaultLine, 1000);
    EXPECT_EQ(eConsole, audio_->roleAsked);
    EXPECT_FLOAT_EQ(VolumeToScalar(1000), audio_->endpoints[Speakers].level);
    audio_->SetDefaults(eRender, Usb);  // a headset becomes the default
    EXPECT_EQ(65535, device_->Volume(DefaultLine));
    device_->SetVolume(DefaultLine, 2000);
    device_->SetMute(DefaultLine, true);
    EXPECT_FLOAT_EQ(VolumeToScalar(2000), audio_->endpoints[Usb].level);
    EXPECT_TRUE(audio_->endpoints[Usb].mute);
    EXPECT_FLOAT_EQ(VolumeToScalar(1000), audio_->endpoints[Speakers].level);
    EXPECT_FALSE(audio_->endpoints[Speakers].mute);
    EXPECT_EQ(2000, device_->Volume(DefaultLine));
    audio_->SetDefaults(eRender, Speakers);
    EXPECT_EQ(1000, device_->Volume(DefaultLine));
    EXPECT_FALSE(device_->Mute(DefaultLine));
}

TEST_F(CoreAudioBackendTest, APinnedLineLeavesTheDefaultAlone)
{
    audio_->endpoints[Hdmi].level = 0.5f;
    EXPECT_EQ(32768, device_->Volume(HdmiLine));
    device_->SetVolume(HdmiLine, 16384);
    device_->SetMute(HdmiLine, true);
    EXPECT_FLOAT_EQ(16384 / 65535.0f, audio_->endpoints[Hdmi].level);
    EXPECT_TRUE(audio_->endpoints[Hdmi].mute);
    EXPECT_EQ(1.0f, audio_->endpoints[Speakers].level);
    EXPECT_FALSE(audio_->endpoints[Speakers].mute);
    EXPECT_TRUE(audio_->endpoints[Speakers].levelsSet.empty());
    EXPECT_TRUE(device_->Mute(HdmiLine));
    EXPECT_FALSE(device_->Mute(DefaultLine));
    audio_->endpoints[Hdmi].mute = FALSE;  // changed elsewhere
    EXPECT_FALSE(device_->Mute(HdmiLine));
}

TEST_F(CoreAudioBackendTest, AnOutputThatGoesAwayFailsItsOwnLineOnly)
{
    const char* gone = "This output is no longer connected.";
    audio_->endpoints[Usb].state = DEVICE_STATE_UNPLUGGED;
    ASSERT_EQ(4, device_->LineCount());
    EXPECT_FALSE(device_->LineValid(UsbLine));
    EXPECT_EQ(L"USB Headset", device_->LineName(UsbLine));
    EXPECT_MIXER_ERROR(AUDCLNT_E_DEVICE_INVALIDATED, gone, device_->Volume(UsbLine));
    EXPECT_MIXER_ERROR(AUDCLNT_E_DEVICE_INVALIDATED, gone, device_->SetVolume(UsbLine, 5));
    EXPECT_MIXER_ERROR(AUDCLNT_E_DEVICE_INVALIDATED, gone, device_->SetMute(UsbLine, true));
    EXPECT_TRUE(audio_->endpoints[Usb].levelsSet.empty());
    device_->SetVolume(HdmiLine, 100);
    device_->SetVolume(DefaultLine, 200);
    EXPECT_EQ(100, device_->Volume(HdmiLine));
    EXPECT_EQ(200, device_->Volume(SpeakersLine));

    // The default goes, and for a moment the system has none; then it
    // picks another.
    audio_->endpoints[Speakers].state = DEVICE_STATE_NOTPRESENT;
    EXPECT_MIXER_ERROR(NotFound, "There is no default output now.", device_->Mute(DefaultLine));
    EXPECT_MIXER_ERROR(AUDCLNT_E_DEVICE_INVALIDATED, gone, device_->Mute(SpeakersLine));
    audio_->SetDefaults(eRender, Hdmi);
    EXPECT_EQ(100, device_->Volume(DefaultLine));

    // Plugged in again, the headset's line works again, also where it went
    // and came back between two accesses; a new output waits for the device
    // to be opened again.
    audio_->endpoints[Usb].state = DEVICE_STATE_ACTIVE;
    audio_->endpoints[Usb].connections++;
    device_->SetVolume(UsbLine, 300);
    audio_->endpoints[Usb].connections++;
    EXPECT_EQ(300, device_->Volume(UsbLine));
    audio_->endpoints.push_back(Endpoint(L"{bt}", L"Bluetooth Speaker"));
    EXPECT_EQ(4, device_->LineCount());
    auto next = backend_.OpenDevice(0);
    ASSERT_EQ(4, next->LineCount());  // without the speakers, still gone
    EXPECT_EQ(L"Bluetooth Speaker", next->LineName(1));
    EXPECT_EQ(L"HDMI Output", next->LineName(2));

    // With no output left the default line stays listed, failing until one comes.
    for (FakeEndpoint& e : audio_->endpoints)
        e.state = DEVICE_STATE_NOTPRESENT;
    EXPECT_TRUE(device_->Valid());
    EXPECT_TRUE(device_->LineValid(DefaultLine));
    EXPECT_MIXER_ERROR(NotFound, "There is no default output now.", device_->Volume(DefaultLine));
}

TEST_F(CoreAudioBackendTest, AControlKeptFromBeforeAReplugIsReplacedWhateverItAnswers)
{
    FakeEndpoint& usb = audio_->endpoints[Usb];
    audio_->SetDefaults(eRender, Usb);
    for (HRESULT stale : {E_FAIL, E_INVALIDARG}) {
        usb.staleResult = stale;
        device_->SetVolume(UsbLine, 1000);
        usb.connections++;  // unplugged and plugged in again before each use
        device_->SetMute(DefaultLine, stale == E_FAIL);
        usb.connections++;
        EXPECT_EQ(stale == E_FAIL, device_->Mute(UsbLine));
    }
    usb.setLevelResult = E_ACCESSDENIED;  // a fresh control fails too: one more try, then the error
    const size_t tries = usb.levelsSet.size();
    EXPECT_MIXER_ERROR(E_ACCESSDENIED, "Setting the endpoint volume failed.",
                       device_->SetVolume(UsbLine, 5));
    EXPECT_EQ(tries + 2, usb.levelsSet.size());
}

TEST_F(CoreAudioBackendTest, AnEndpointWithoutUsableVolumeIsNotValid)
{
    audio_->endpoints[Usb].activateResult = E_NOINTERFACE;
    EXPECT_TRUE(device_->Valid());
    EXPECT_FALSE(device_->LineValid(UsbLine));
    EXPECT_EQ(L"USB Headset", device_->LineName(UsbLine));
    EXPECT_MIXER_ERROR(E_NOINTERFACE, "The endpoint has no usable volume control.",
                       device_->Volume(UsbLine));
}

TEST_F(CoreAudioBackendTest, AnUnreadableNameIsAnError)
{
    audio_->endpoints[Hdmi].nameResult = E_ACCESSDENIED;
    auto device = backend_.OpenDevice(0);
    EXPECT_MIXER_ERROR(E_ACCESSDENIED, "Reading the endpoint's name failed.",
                       device->LineName(1));  // sorted first, without a name
}

TEST_F(CoreAudioBackendTest, AnEndpointThatCannotSetItsVolumeReportsWhy)
{
    audio_->endpoints[Speakers].setLevelResult = E_NOTIMPL;
    EXPECT_MIXER_ERROR(E_NOTIMPL, "Setting the endpoint volume failed.",
                       device_->SetVolume(DefaultLine, 100));
}

TEST_F(CoreAudioBackendTest, ACoarseEndpointStillGivesTheWrittenVolumeBack)
{
    // Keeps the level in 1/100 steps, as a device with 101 volume steps.
    FakeEndpoint& e = audio_->endpoints[Hdmi];
    e.quantum = 0.01f;
    e.stepCount = 101;
    device_->SetVolume(HdmiLine, 12345);
    EXPECT_NE(12345, VolumeFromScalar(e.level));
    EXPECT_EQ(12345, device_->Volume(HdmiLine));
    audio_->SetDefaults(eRender, Hdmi);  // the same endpoint through the default line
    EXPECT_EQ(12345, device_->Volume(DefaultLine));
    EXPECT_EQ(12345, backend_.OpenDevice(0)->Volume(HdmiLine));  // opened again to list outputs
    // Changed elsewhere: the endpoint's own value is shown.
    e.level = 0.25f;
    EXPECT_EQ(16384, device_->Volume(HdmiLine));
}

TEST_F(CoreAudioBackendTest, AWriteTheEndpointIgnoresIsNotShownAsDone)
{
    FakeEndpoint& e = audio_->endpoints[Hdmi];
    e.ignoresWrites = true;
    e.level = 0.0f;
    device_->SetVolume(HdmiLine, 12345);
    EXPECT_EQ(0, device_->Volume(HdmiLine));
}

ComPtr<IDispatch> ComponentOver(std::unique_ptr<MixerBackend> backend)
{
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, CreateAudioMixer(std::move(backend), IID_IDispatch,
                                     reinterpret_cast<void**>(dispatch.GetAddressOf())));
    return dispatch;
}

ComPtr<IDispatch> ComponentOver(std::shared_ptr<FakeCoreAudio> audio)
{
    return ComponentOver(std::make_unique<CoreAudioBackend>(MakeFakeEnumerator(audio)));
}

TEST(CoreAudioThroughTheComponent, EveryVolumeWrittenReadsBackTheSame)
{
    ComApartment apartment;
    auto audio = ThreeEndpoints();
    ComPtr<IDispatch> dispatch = ComponentOver(audio);
    Dispatcher mixer(dispatch.Get());
    EXPECT_EQ(0, mixer.GetLong(Id::devOutput));
    EXPECT_EQ(L"Default output", mixer.GetString(Id::srcOutputName));
    EXPECT_EQ(L"Core Audio", mixer.GetString(Id::BackendName));
    for (long v = 0; v <= 65535; ++v) {
        ASSERT_EQ(S_OK, mixer.PutLong(Id::srcVolume, v)) << v;
        ASSERT_EQ(v, mixer.GetLong(Id::srcVolume)) << v;
    }
    EXPECT_EQ(1.0f, audio->endpoints[Speakers].level);
    EXPECT_EQ(0.0f, audio->endpoints[Speakers].levelsSet.front());

    audio->endpoints[Speakers].setLevelResult = E_NOTIMPL;
    CallResult r;
    mixer.PutLong(Id::srcVolume, 5, r);
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(E_NOTIMPL, r.scode);
    EXPECT_EQ(L"TarnMixer", r.source);
    EXPECT_EQ(L"Setting the endpoint volume failed.", r.description);

    // A pinned output unplugged: its line fails as a component error.
    ASSERT_EQ(S_OK, mixer.PutLong(Id::srcOutput, UsbLine));
    audio->endpoints[Usb].state = DEVICE_STATE_UNPLUGGED;
    CallResult gone;
    mixer.PutLong(Id::srcVolume, 5, gone);
    EXPECT_EQ(DISP_E_EXCEPTION, gone.hr);
    EXPECT_EQ(AUDCLNT_E_DEVICE_INVALIDATED, gone.scode);
    EXPECT_EQ(L"This output is no longer connected.", gone.description);
    EXPECT_FALSE(mixer.GetBool(Id::srcOutputValid));
}

TEST(CoreAudioThroughTheComponent, TarnmixerListShowsTheOutputs)
{
    ComApartment apartment;
    auto audio = ThreeEndpoints();
    audio->endpoints[Hdmi].mute = TRUE;
    audio->endpoints[Usb].level = 0.5f;
    audio->endpoints[Speakers].level = 0.25f;
    const char* footnote = "Line 0 follows the output Windows plays to by default, at every use;\n"
                           "each other line stays on its own output. An output connected later\n"
                           "is listed when the device is selected again.\n";
    EXPECT_EQ(
        std::string(
            "Backend: Core Audio\n"
            "Microphones: 0\n"
            "Devices: 1 (* = selected at start)\n"
            "* Device 0: valid\n"
            "    * Line 0: valid, \"Default output\", volume 16384, mute off\n"
            "      Line 1: valid, \"HDMI Output\", volume 65535, mute on\n"
            "      Line 2: valid, \"Speakers (High Definition Audio)\", volume 16384, mute off\n"
            "      Line 3: valid, \"USB Headset\", volume 32768, mute off\n") +
            footnote,
        ListMixer(ComponentOver(audio).Get()));

    // No output at all: the default line is there and says why it fails
    // until a headset connects and becomes the default; the device selected
    // again lists it.
    auto none = std::make_shared<FakeCoreAudio>();
    ComPtr<IDispatch> waiting = ComponentOver(ChooseMixerBackend(MakeFakeEnumerator(none)));
    const std::string noOutput = "error: There is no default output now.";
    EXPECT_EQ(std::string("Backend: Core Audio: no output yet; line 0 reaches the first one "
                          "connected\n"
                          "Microphones: 0\n"
                          "Devices: 1 (* = selected at start)\n"
                          "* Device 0: valid\n"
                          "    * Line 0: valid, \"Default output\", volume ") +
                  noOutput + ", mute " + noOutput + "\n" + footnote,
              ListMixer(waiting.Get()));
    Dispatcher mixer(waiting.Get());
    CallResult r;
    mixer.PutLong(Id::srcVolume, 5, r);
    EXPECT_EQ(L"There is no default output now.", r.description);
    none->endpoints.push_back(Endpoint(L"{bt}", L"Headset"));
    ASSERT_EQ(S_OK, mixer.PutLong(Id::srcVolume, 1000));
    EXPECT_FLOAT_EQ(VolumeToScalar(1000), none->endpoints[0].level);
    ASSERT_EQ(S_OK, mixer.PutLong(Id::devOutput, 0));
    EXPECT_EQ(2, mixer.GetLong(Id::srcOutputCount));
}

TEST(BackendChoice, WinmmOnlyWhereCoreAudioCannotSetTheVolume)
{
    auto audio = ThreeEndpoints();
    audio->endpoints[Speakers].level = 0.3f;
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));
    // The probe writes the default endpoint's own level back to it.
    ASSERT_EQ(1u, audio->endpoints[Speakers].levelsSet.size());
    EXPECT_EQ(0.3f, audio->endpoints[Speakers].levelsSet[0]);
    EXPECT_EQ(0.3f, audio->endpoints[Speakers].level);

    audio->endpoints[Speakers].setLevelResult = E_NOTIMPL;  // as Wine
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));

    // Without a default endpoint the first active one is probed.
    audio->SetDefaults(eRender, -1);
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));
    EXPECT_EQ(1u, audio->endpoints[Usb].levelsSet.size());
    audio->endpoints[Usb].activateResult = E_NOINTERFACE;  // not "cannot": the next use tries again
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));

    // No output yet: nothing tells against Core Audio. No Core Audio: winmm.
    EXPECT_EQ(
        L"Core Audio",
        std::wstring(
            ChooseMixerBackend(MakeFakeEnumerator(std::make_shared<FakeCoreAudio>()))->Name()));
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(nullptr)->Name()));
}

// At logon the audio service may not answer yet, and an endpoint being
// enumerated again fails its control for a moment.
TEST(BackendChoice, AProbeThatFailsForAMomentKeepsCoreAudio)
{
    auto audio = ThreeEndpoints();
    FakeEndpoint& speakers = audio->endpoints[Speakers];
    speakers.activateResult = AUDCLNT_E_SERVICE_NOT_RUNNING;
    speakers.setLevelResult = AUDCLNT_E_DEVICE_INVALIDATED;
    auto backend = ChooseMixerBackend(MakeFakeEnumerator(audio));
    EXPECT_EQ(L"Core Audio", std::wstring(backend->Name()));
    EXPECT_STREQ(L"the probe at start failed, but not for want of support; every use tries again",
                 backend->Reason());
    auto device = backend->OpenDevice(0);
    EXPECT_MIXER_ERROR(AUDCLNT_E_SERVICE_NOT_RUNNING, "The Windows audio service is not running.",
                       device->SetVolume(DefaultLine, 1000));
    speakers.activateResult = S_OK;
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));
    EXPECT_MIXER_ERROR(AUDCLNT_E_DEVICE_INVALIDATED, "Setting the endpoint volume failed.",
                       device->SetVolume(DefaultLine, 1000));
    speakers.setLevelResult = S_OK;
    device->SetVolume(DefaultLine, 1000);
    EXPECT_FLOAT_EQ(VolumeToScalar(1000), speakers.level);
}

// Capture endpoints only, each through its own kept control; the defaults
// are those of both roles. The outputs are left alone.
TEST(CoreAudioThroughTheComponent, MicrophonesAreTheActiveCaptureEndpoints)
{
    ComApartment apartment;
    auto audio = ThreeEndpoints();
    for (const wchar_t* id : {L"{mic}", L"{headset}", L"{webcam}", L"{gone}"}) {
        audio->endpoints.push_back(Endpoint(id, id));
        audio->endpoints.back().flow = eCapture;
    }
    enum { Mic = 3, Headset, Webcam, Gone };
    audio->endpoints[Gone].state = DEVICE_STATE_UNPLUGGED;
    audio->endpoints[Webcam].mute = TRUE;
    audio->SetDefaults(eCapture, Mic);
    audio->SetDefault(eCapture, eCommunications, Headset);
    auto mutes = [&] {
        std::string states;
        for (const FakeEndpoint& e : audio->endpoints)
            states += e.mute ? 'M' : '-';
        return states;
    };
    ComPtr<IDispatch> component = ComponentOver(audio);
    Dispatcher mixer(component.Get());
    EXPECT_EQ(3, mixer.GetLong(Id::micCount));
    EXPECT_FALSE(mixer.GetBool(Id::micMute));
    ASSERT_EQ(S_OK, mixer.PutBool(Id::micMute, true));
    EXPECT_EQ("---MMM-", mutes());
    EXPECT_TRUE(mixer.GetBool(Id::micMute));
    // The headset plugged in again meanwhile: its new control is reached.
    ++audio->endpoints[Headset].connections;
    ASSERT_EQ(S_OK, mixer.PutBool(Id::micMute, false));
    EXPECT_EQ("-----M-", mutes());

    audio->endpoints[Mic].mute = audio->endpoints[Headset].mute = TRUE;
    component = ComponentOver(audio);
    Dispatcher started(component.Get());
    ASSERT_EQ(S_OK, started.PutBool(Id::micMute, false));
    EXPECT_EQ("-----M-", mutes());

    component = ComponentOver(ThreeEndpoints());
    EXPECT_EQ(0, Dispatcher(component.Get()).GetLong(Id::micCount));
}

}  // namespace

// A PolicyConfig object whose slots after IUnknown's each note their number:
// the one the component calls tells which method it takes for
// SetDefaultEndpoint. It answers the interfaces of Windows 7 and later
// (`seven`) and of Vista (`vista`) as a test says; it is the test's own, so
// its references are not counted.
struct PolicyCall {
    std::string face;
    int slot;
    std::wstring id;
    ERole role;
};

struct PolicyFace : IUnknown {
    PolicyFace(struct FakePolicyConfig& owner, const char* name) : owner_(owner), name_(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
#define POLICY_SLOT(n)                                                                             \
    virtual HRESULT STDMETHODCALLTYPE Slot##n(PCWSTR id, ERole role) { return Note(n, id, role); }
    // clang-format off
    POLICY_SLOT(1)
    POLICY_SLOT(2)
    POLICY_SLOT(3)
    POLICY_SLOT(4)
    POLICY_SLOT(5)
    POLICY_SLOT(6)
    POLICY_SLOT(7)
    POLICY_SLOT(8)
    POLICY_SLOT(9)
    POLICY_SLOT(10)
    POLICY_SLOT(11)
    POLICY_SLOT(12)
#undef POLICY_SLOT
    // clang-format on
    HRESULT Note(int slot, PCWSTR id, ERole role);
    FakePolicyConfig& owner_;
    const char* name_;
};

struct FakePolicyConfig {
    bool seven = true, vista = true;
    std::vector<PolicyCall> calls;
    PolicyFace sevenFace{*this, "seven"}, vistaFace{*this, "vista"};
};

HRESULT PolicyFace::QueryInterface(REFIID iid, void** out)
{
    const IID sevenId = {
        0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};
    const IID vistaId = {
        0x568B9108, 0x44BF, 0x40B4, {0x90, 0x06, 0x86, 0xAF, 0xE5, 0xB5, 0xA6, 0x20}};
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) *out = this;
    if (IsEqualIID(iid, sevenId) && owner_.seven) *out = &owner_.sevenFace;
    if (IsEqualIID(iid, vistaId) && owner_.vista) *out = &owner_.vistaFace;
    return *out ? S_OK : E_NOINTERFACE;
}

HRESULT PolicyFace::Note(int slot, PCWSTR id, ERole role)
{
    owner_.calls.push_back({name_, slot, id, role});
    return S_OK;
}

TEST_F(CoreAudioBackendTest,
       TheDefaultOutputIsReadAsItsLineAndSetForEveryRoleWhereAnInterfaceAnswers)
{
    EXPECT_EQ(SpeakersLine, device_->DefaultLine());
    audio_->SetDefaults(eRender, -1);
    EXPECT_EQ(-1, device_->DefaultLine());
    audio_->SetDefaults(eRender, Hdmi);
    EXPECT_EQ(HdmiLine, device_->DefaultLine());

    // Windows 7's interface first, its eleventh method, for each role not yet there.
    audio_->SetDefault(eRender, eCommunications, Usb);
    FakePolicyConfig policy;
    MakeDefaultOutput(MakeFakeEnumerator(audio_).Get(), &policy.sevenFace, L"{usb}");
    ASSERT_EQ(2u, policy.calls.size());
    for (int role : {eConsole, eMultimedia}) {
        const PolicyCall& call = policy.calls[role];
        EXPECT_EQ("seven", call.face);
        EXPECT_EQ(11, call.slot);
        EXPECT_EQ(L"{usb}", call.id);
        EXPECT_EQ(role, call.role);
    }
    // Vista's, its tenth; nothing where every role is there.
    audio_->SetDefaults(eRender, Hdmi);
    FakePolicyConfig vista;
    vista.seven = false;
    MakeDefaultOutput(MakeFakeEnumerator(audio_).Get(), &vista.sevenFace, L"{hdmi}");
    EXPECT_TRUE(vista.calls.empty());
    MakeDefaultOutput(MakeFakeEnumerator(audio_).Get(), &vista.sevenFace, L"{spk}");
    ASSERT_EQ(3u, vista.calls.size());
    EXPECT_EQ("vista", vista.calls[0].face);
    EXPECT_EQ(10, vista.calls[0].slot);

    vista.vista = false;
    EXPECT_MIXER_ERROR(
        E_NOTIMPL, NoDefaultChoiceText,
        MakeDefaultOutput(MakeFakeEnumerator(audio_).Get(), &vista.sevenFace, L"{spk}"));
    EXPECT_MIXER_ERROR(E_NOTIMPL, NoDefaultChoiceText,
                       MakeDefaultOutput(MakeFakeEnumerator(audio_).Get(), nullptr, L"{spk}"));
}
