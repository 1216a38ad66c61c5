#pragma once
// Core Audio in process for the component's tests: the objects of the
// stand-in of Windows' audio service (tests/audiostandin), the same code
// that the Core Audio end-to-end runs meet, over a system kept in memory
// here. A test adds endpoints (push_back), removes them (state), moves the
// defaults (SetDefaults) and sets the failures of particular systems on an
// endpoint. As on Windows, a removed endpoint stays known by its id with a
// state other than active; a volume control handed out before it went, or
// before it came back, answers staleResult.
#include <memory>

#include "AudioObjects.h"

using FakeEndpoint = AudioEndpoint;

// Endpoint 0 is the default output for every role until a test moves it.
struct FakeCoreAudio : AudioSystem {
    FakeCoreAudio() { SetDefaults(eRender, 0); }
};

inline Microsoft::WRL::ComPtr<IMMDeviceEnumerator>
MakeFakeEnumerator(std::shared_ptr<FakeCoreAudio> audio)
{
    return MakeAudioEnumerator(std::make_shared<AudioProcess>(
        std::make_unique<MemoryAudioStore>(std::move(audio)), false));
}
