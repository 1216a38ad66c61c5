// The Core Audio backend against fake Core Audio objects, alone and behind
// the component's IDispatch object.
#include <gtest/gtest.h>

#include "AudioMixer.h"
#include "Backends.h"
#include "CoreAudioBackend.h"
#include "CoreAudioFakes.h"
#include "DispatchHelpers.h"
#include "TarnMixerIds.h"
#include "VolumeScale.h"

using Microsoft::WRL::ComPtr;
namespace Id = TarnMixerDispid;

namespace {

FakeEndpoint Endpoint(const wchar_t* id, const wchar_t* name)
{
    FakeEndpoint e;
    e.id = id;
    e.name = name;
    return e;
}

std::shared_ptr<FakeCoreAudio> ThreeEndpoints()
{
    auto audio = std::make_shared<FakeCoreAudio>();
    audio->endpoints = {Endpoint(L"{hdmi}", L"HDMI Output"), Endpoint(L"{usb}", L"USB Headset"),
                        Endpoint(L"{spk}", L"Speakers (High Definition Audio)")};
    audio->preferred = 2;
    return audio;
}

class CoreAudioBackendTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeCoreAudio> audio_ = ThreeEndpoints();
    CoreAudioBackend backend_{MakeFakeEnumerator(audio_)};
};

TEST_F(CoreAudioBackendTest, DevicesAreTheActiveRenderEndpointsInOrder)
{
    EXPECT_EQ(3, backend_.DeviceCount());
    EXPECT_EQ(eRender, audio_->flowAsked);
    EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_ACTIVE), audio_->stateAsked);
    const wchar_t* names[] = {L"HDMI Output", L"USB Headset", L"Speakers (High Definition Audio)"};
    for (int i = 0; i < 3; ++i) {
        auto device = backend_.OpenDevice(i);
        EXPECT_TRUE(device->Valid());
        ASSERT_EQ(1, device->LineCount());
        EXPECT_TRUE(device->LineValid(0));
        EXPECT_EQ(names[i], device->LineName(0));
    }
    EXPECT_EQ(L"Core Audio", std::wstring(backend_.Name()));
}

TEST_F(CoreAudioBackendTest, StartsOnTheDefaultConsoleEndpoint)
{
    EXPECT_EQ(2, backend_.DefaultDevice());
    audio_->preferred = 1;
    EXPECT_EQ(1, backend_.DefaultDevice());
    audio_->preferred = -1;
    EXPECT_EQ(0, backend_.DefaultDevice());
}

TEST_F(CoreAudioBackendTest, AnEndpointWithoutUsableVolumeIsNotValid)
{
    audio_->endpoints[1].activateResult = E_NOINTERFACE;
    auto device = backend_.OpenDevice(1);
    EXPECT_FALSE(device->Valid());
    EXPECT_EQ(1, device->LineCount());
    EXPECT_FALSE(device->LineValid(0));
    EXPECT_EQ(L"USB Headset", device->LineName(0));
    try {
        device->Volume(0);
        ADD_FAILURE() << "no error";
    } catch (const MixerError& e) {
        EXPECT_EQ(E_NOINTERFACE, e.hr());
    }
}

TEST_F(CoreAudioBackendTest, AnUnreadableNameIsAnError)
{
    audio_->endpoints[0].nameResult = E_ACCESSDENIED;
    auto device = backend_.OpenDevice(0);
    try {
        device->LineName(0);
        ADD_FAILURE() << "no error";
    } catch (const MixerError& e) {
        EXPECT_EQ(E_ACCESSDENIED, e.hr());
        EXPECT_STREQ("Reading the endpoint's name failed.", e.what());
    }
}

TEST_F(CoreAudioBackendTest, VolumeAndMuteAreTheEndpointsMasterControls)
{
    auto device = backend_.OpenDevice(1);
    audio_->endpoints[1].level = 0.5f;
    EXPECT_EQ(32768, device->Volume(0));
    device->SetVolume(0, 16384);
    EXPECT_FLOAT_EQ(16384 / 65535.0f, audio_->endpoints[1].level);
    EXPECT_FLOAT_EQ(1.0f, audio_->endpoints[0].level);
    device->SetMute(0, true);
    EXPECT_TRUE(audio_->endpoints[1].mute);
    EXPECT_TRUE(device->Mute(0));
    audio_->endpoints[1].mute = FALSE;
    EXPECT_FALSE(device->Mute(0));
}

TEST_F(CoreAudioBackendTest, AnEndpointThatCannotSetItsVolumeReportsWhy)
{
    audio_->endpoints[2].setLevelResult = E_NOTIMPL;
    auto device = backend_.OpenDevice(2);
    try {
        device->SetVolume(0, 100);
        ADD_FAILURE() << "no error";
    } catch (const MixerError& e) {
        EXPECT_EQ(E_NOTIMPL, e.hr());
        EXPECT_STREQ("Setting the endpoint volume failed.", e.what());
    }
}

TEST_F(CoreAudioBackendTest, ACoarseEndpointStillGivesTheWrittenVolumeBack)
{
    // Keeps the level in 1/100 steps, as a device with 101 volume steps.
    FakeEndpoint& e = audio_->endpoints[0];
    e.quantum = 0.01f;
    e.stepCount = 101;
    auto device = backend_.OpenDevice(0);
    device->SetVolume(0, 12345);
    EXPECT_NE(12345, VolumeFromScalar(e.level));
    EXPECT_EQ(12345, device->Volume(0));
    // Changed elsewhere: the endpoint's own value is shown.
    e.level = 0.25f;
    EXPECT_EQ(16384, device->Volume(0));
}

TEST_F(CoreAudioBackendTest, AWriteTheEndpointIgnoresIsNotShownAsDone)
{
    FakeEndpoint& e = audio_->endpoints[0];
    e.ignoresWrites = true;
    e.level = 0.0f;
    auto device = backend_.OpenDevice(0);
    device->SetVolume(0, 12345);
    EXPECT_EQ(0, device->Volume(0));
}

TEST(CoreAudioThroughTheComponent, EveryVolumeWrittenReadsBackTheSame)
{
    ComApartment apartment;
    auto audio = ThreeEndpoints();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, CreateAudioMixer(std::make_unique<CoreAudioBackend>(MakeFakeEnumerator(audio)),
                                     IID_IDispatch,
                                     reinterpret_cast<void**>(dispatch.GetAddressOf())));
    Dispatcher mixer(dispatch.Get());
    EXPECT_EQ(2, mixer.GetLong(Id::devOutput));
    EXPECT_EQ(L"Speakers (High Definition Audio)", mixer.GetString(Id::srcOutputName));
    EXPECT_EQ(L"Core Audio", mixer.GetString(Id::BackendName));
    for (long v = 0; v <= 65535; ++v) {
        ASSERT_EQ(S_OK, mixer.PutLong(Id::srcVolume, v)) << v;
        ASSERT_EQ(v, mixer.GetLong(Id::srcVolume)) << v;
    }
    EXPECT_EQ(1.0f, audio->endpoints[2].level);
    EXPECT_EQ(0.0f, audio->endpoints[2].levelsSet.front());

    audio->endpoints[2].setLevelResult = E_NOTIMPL;
    CallResult r;
    mixer.PutLong(Id::srcVolume, 5, r);
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(E_NOTIMPL, r.scode);
    EXPECT_EQ(L"TarnMixer", r.source);
    EXPECT_EQ(L"Setting the endpoint volume failed.", r.description);
}

TEST(BackendChoice, CoreAudioOnlyWhereItCanSetTheEndpointVolume)
{
    auto audio = ThreeEndpoints();
    audio->endpoints[2].level = 0.3f;
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));
    // The probe writes the default endpoint's own level back to it.
    ASSERT_EQ(1u, audio->endpoints[2].levelsSet.size());
    EXPECT_EQ(0.3f, audio->endpoints[2].levelsSet[0]);
    EXPECT_EQ(0.3f, audio->endpoints[2].level);

    audio->endpoints[2].setLevelResult = E_NOTIMPL;  // as Wine
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));

    // Without a default endpoint the first active one is probed.
    audio->preferred = -1;
    EXPECT_EQ(L"Core Audio", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));
    EXPECT_EQ(1u, audio->endpoints[0].levelsSet.size());
    audio->endpoints[0].activateResult = E_NOINTERFACE;
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(MakeFakeEnumerator(audio))->Name()));

    // No endpoint at all, or no Core Audio.
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(
                            MakeFakeEnumerator(std::make_shared<FakeCoreAudio>()))->Name()));
    EXPECT_EQ(L"winmm", std::wstring(ChooseMixerBackend(nullptr)->Name()));
}

}  // namespace
