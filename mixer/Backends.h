#pragma once
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

// Core Audio over `enumerator`, unless it answers that it cannot set an
// output's volume; then, and when there is no enumerator, the winmm mixer.
// The backend's Reason() says which case it was.
std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator);
