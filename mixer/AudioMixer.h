#pragma once
// TAudioMixer: the component's object. Offers the mixer's properties through
// IDispatch (by DISPID or name) on top of one MixerBackend.
#include <oaidl.h>

#include <memory>

#include "Microphones.h"
#include "MixerBackend.h"

// Creates an object that owns `backend`, remembering the microphones it
// mutes in `store`; on success *object holds one reference to the interface
// asked for.
HRESULT CreateAudioMixer(std::unique_ptr<MixerBackend> backend, REFIID riid, void** object,
                         std::unique_ptr<MicrophoneStore> store = OpenUserMicrophoneStore());
