// Both backends against Wine's real audio: with an ALSA null device Wine has
// one render endpoint "Out: default" and two winmm mixers, 0 for output
// and 1 for capture.
#include <gtest/gtest.h>

#include "Backends.h"
#include "CoreAudioBackend.h"
#include "DispatchHelpers.h"
#include "Microphones.h"
#include "WinmmBackend.h"

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

}  // namespace
