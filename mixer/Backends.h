#pragma once
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

// Core Audio over `enumerator` if it can set the endpoint volume there, else
// the winmm mixer (also when there is no enumerator).
std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator);
