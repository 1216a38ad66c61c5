// Both backends against Wine's real audio: with an ALSA null device Wine has
// one render endpoint "Out: default" and two winmm mixers, 0 for output
// and 1 for capture.
#include <gtest/gtest.h>

#include <mmsystem.h>

#include <map>

#include "AudioMixer.h"
#include "Backends.h"
#include "CoreAudioBackend.h"
#include "DispatchHelpers.h"
#include "Microphones.h"
#include "TarnMixerIds.h"
#include "WinmmBackend.h"
#include "mixer/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

template <class Action>
HRESULT FailureOf(Action action)
{
    try {
        action();
    } catch (const MixerError& e) {
        return e.hr();
    }
    return S_OK;
}

TEST(WineWinmm, ListsTheOutputMixerAsUsableAndTheCaptureMixerNot)
{
    WinmmBackend backend;
    ASSERT_EQ(2, backend.DeviceCount());
    EXPECT_EQ(0, backend.DefaultDevice());
    auto output = backend.OpenDevice(0);
    EXPECT_TRUE(output->Valid());
    ASSERT_EQ(2, output->LineCount());  // the speakers destination and its one source
    EXPECT_EQ(L"Master Volume", output->LineName(0));
    EXPECT_EQ(L"Master Volume", output->LineName(1));
    EXPECT_TRUE(output->LineValid(0));
    EXPECT_TRUE(output->LineValid(1));
    auto capture = backend.OpenDevice(1);
    EXPECT_FALSE(capture->Valid());
    EXPECT_EQ(0, capture->LineCount());
}

TEST(WineWinmm, WrittenVolumesReadBackTheSame)
{
    WinmmBackend backend;
    auto device = backend.OpenDevice(0);
    // Wine keeps the level as a float, value / 65535, and gives back the
    // product level * 65535 truncated, which can land one unit low (777 reads
    // 776 on some 32-bit Wine builds and not on others). The component gives
    // back what was written on every build.
    for (uint16_t v : {12345, 0, 65535, 1, 777, 32768}) {
        device->SetVolume(0, v);
        EXPECT_EQ(v, device->Volume(0));
    }
    // Another view of the same mixer sees the value winmm keeps, which is
    // Wine's rounding of it either way.
    device->SetVolume(0, 777);
    EXPECT_NEAR(777, backend.OpenDevice(0)->Volume(0), 1);
}

TEST(WineWinmm, MuteOfTheSpeakersLineRoundTrips)
{
    WinmmBackend backend;
    auto device = backend.OpenDevice(0);
    device->SetMute(0, true);
    EXPECT_TRUE(device->Mute(0));
    EXPECT_TRUE(backend.OpenDevice(0)->Mute(0));
    device->SetMute(0, false);
    EXPECT_FALSE(device->Mute(0));
}

// Wine's source line has volume and mute controls that accept writes and
// keep nothing: the component shows what the line really holds.
TEST(WineWinmm, TheSourceLineShowsWhatItKeeps)
{
    WinmmBackend backend;
    auto device = backend.OpenDevice(0);
    device->SetVolume(1, 12345);
    EXPECT_EQ(0, device->Volume(1));
    device->SetMute(1, true);
    EXPECT_FALSE(device->Mute(1));
}

class WineCoreAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr,
                                         CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&enumerator_)));
    }
    ComApartment apartment_;
    ComPtr<IMMDeviceEnumerator> enumerator_;
};

// Wine's one endpoint is listed after the default line, and both lines
// reach it.
TEST_F(WineCoreAudio, ListsTheDefaultAndTheEndpointWithItsNameAndMute)
{
    CoreAudioBackend backend(enumerator_);
    ASSERT_EQ(1, backend.DeviceCount());
    EXPECT_EQ(0, backend.DefaultDevice());
    auto device = backend.OpenDevice(0);
    EXPECT_TRUE(device->Valid());
    ASSERT_EQ(2, device->LineCount());
    EXPECT_EQ(L"Default output", device->LineName(0));
    EXPECT_EQ(L"Out: default", device->LineName(1));
    EXPECT_TRUE(device->LineValid(0));
    EXPECT_TRUE(device->LineValid(1));
    device->SetMute(0, true);
    EXPECT_TRUE(device->Mute(0));
    EXPECT_TRUE(device->Mute(1));
    device->SetMute(1, false);
    EXPECT_FALSE(device->Mute(0));
    EXPECT_EQ(65535, device->Volume(0));
    EXPECT_EQ(65535, device->Volume(1));
}

TEST_F(WineCoreAudio, CannotSetTheVolumeSoWinmmIsChosen)
{
    CoreAudioBackend backend(enumerator_);
    EXPECT_EQ(E_NOTIMPL, FailureOf([&] { backend.OpenDevice(0)->SetVolume(0, 1000); }));
    EXPECT_EQ(E_NOTIMPL, FailureOf([&] { backend.OpenDevice(0)->SetVolume(1, 1000); }));
    EXPECT_EQ(E_NOTIMPL, ProbeEndpointVolume(enumerator_.Get()));
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(enumerator_)->Name()));
    EXPECT_EQ(L"winmm", std::wstring(CreateMixerBackend()->Name()));
}

// Wine's one microphone "In: default", muted and unmuted through each
// backend in this process, where Wine keeps the state.
TEST_F(WineCoreAudio, TheMicrophoneMutesThroughEitherBackend)
{
    CoreAudioBackend coreAudio(enumerator_);
    WinmmBackend winmm;
    for (MixerBackend* backend :
         {static_cast<MixerBackend*>(&coreAudio), static_cast<MixerBackend*>(&winmm)}) {
        SCOPED_TRACE(backend->Name());
        auto capture = backend->OpenCapture();
        ASSERT_EQ(1u, capture->Active().size());
        EXPECT_EQ(capture->Active(), capture->Defaults());
        MicrophoneMute microphones(std::move(capture), OpenUserMicrophoneStore());
        EXPECT_FALSE(microphones.Muted());
        microphones.SetMuted(true);
        EXPECT_TRUE(microphones.Muted());
        microphones.SetMuted(false);
        EXPECT_FALSE(microphones.Muted());
    }
}

// A client of the component's events: counts each event it is told.
class EventCounter final : public ComObject<IDispatch> {
public:
    std::map<DISPID, int> told;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        ++told[id];
        return S_OK;
    }
};

ComPtr<IDispatch> CreateWinmmMixer()
{
    ComPtr<IDispatch> mixer;
    EXPECT_EQ(S_OK, CreateAudioMixer(std::make_unique<WinmmBackend>(), IID_PPV_ARGS(&mixer)));
    return mixer;
}

// Runs this thread's messages until `done` holds or `milliseconds` pass.
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(5);
    }
    return done();
}

// Wine's winmm keeps the callback window of mixerOpen and posts nothing to
// it; Windows XP's posts MM_MIXM_CONTROL_CHANGE to every open handle for
// every write, the writer's own included. Posted here as XP would.
void TellControlChange()
{
    HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"TarnMixerChanges", nullptr);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, MM_MIXM_CONTROL_CHANGE, 0, 0);
}

// Two objects on Wine's winmm mixer: the connected one is told what the
// other writes, and not what it writes itself, though winmm tells both.
TEST(WineWinmm, OnlyAnotherClientsChangeComesAsAnEvent)
{
    ComApartment apartment;
    ComPtr<IDispatch> tarnbell = CreateWinmmMixer(), other = CreateWinmmMixer();
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, tarnbell.As(&container));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID_TAudioMixerEvents, &point));
    const auto counter = MakeComObject<EventCounter, EventCounter>();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(counter.Get(), &cookie));
    const Dispatcher own(tarnbell.Get()), elsewhere(other.Get());
    namespace Id = TarnMixerDispid;
    EXPECT_FALSE(own.GetBool(Id::eventsComplete));

    auto told = [&] { return counter->told[TarnMixerEventId::OutputChanged]; };
    auto handled = [] { return PumpUntil([] { return false; }, 100); };
    for (auto write : {+[](const Dispatcher& d) { return d.PutBool(Id::srcMute, true); },
                       +[](const Dispatcher& d) { return d.PutLong(Id::srcVolume, 30000); }}) {
        EXPECT_EQ(S_OK, write(own));
        TellControlChange();
        handled();
        EXPECT_EQ(0, told());
    }
    EXPECT_EQ(S_OK, elsewhere.PutBool(Id::srcMute, false));
    TellControlChange();
    handled();
    EXPECT_EQ(1, told());
    EXPECT_FALSE(own.GetBool(Id::srcMute));
    EXPECT_EQ(S_OK, elsewhere.PutLong(Id::srcVolume, 20000));
    TellControlChange();
    handled();
    EXPECT_EQ(2, told());
    EXPECT_NEAR(20000, own.GetLong(Id::srcVolume), 1);  // 32-bit Wine truncates
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(nullptr, FindWindowExW(HWND_MESSAGE, nullptr, L"TarnMixerChanges", nullptr));
}

// What a script host reads to connect its handlers by name: the class's
// source interface, its id and its events' names.
TEST(WineWinmm, ScriptHostsFindTheEventsByName)
{
    ComApartment apartment;
    ComPtr<IProvideClassInfo2> provider;
    ASSERT_EQ(S_OK, CreateWinmmMixer().As(&provider));
    GUID source{};
    EXPECT_EQ(S_OK, provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_TRUE(IsEqualIID(DIID_TAudioMixerEvents, source));
    ComPtr<ITypeInfo> mixer, events;
    ASSERT_EQ(S_OK, provider->GetClassInfo(&mixer));
    INT flags = 0;
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, mixer->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, flags);
    ASSERT_EQ(S_OK, mixer->GetRefTypeOfImplType(1, &reference));
    ASSERT_EQ(S_OK, mixer->GetRefTypeInfo(reference, &events));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, events->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualIID(DIID_TAudioMixerEvents, attributes->guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    events->ReleaseTypeAttr(attributes);
    for (const auto& [id, name] : {std::pair{TarnMixerEventId::OutputChanged, L"OutputChanged"},
                                   {TarnMixerEventId::OutputsChanged, L"OutputsChanged"},
                                   {TarnMixerEventId::MicrophonesChanged, L"MicrophonesChanged"}}) {
        BSTR names[1] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, events->GetNames(id, names, 1, &count));
        EXPECT_EQ(std::wstring(name), names[0]);
        SysFreeString(names[0]);
    }
}

}  // namespace
