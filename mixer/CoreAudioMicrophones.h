#pragma once
// The microphones as Core Audio has them: the active capture endpoints, by
// endpoint id, muted through their endpoint volume.
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

std::unique_ptr<CaptureDevices>
OpenCoreAudioCapture(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator, const GUID& context);
