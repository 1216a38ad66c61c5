#pragma once
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

// Core Audio over `enumerator`, unless an output exists and Core Audio cannot
// set its volume; else (also when there is no enumerator) the winmm mixer.
// The backend's Reason() says which case it was.
std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator);
