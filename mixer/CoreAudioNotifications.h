#pragma once
// Core Audio's change notifications: the volume callback of every active
// output and microphone, and the endpoint notifications for outputs and
// microphones that come, go or become the default. Windows calls them on
// threads of its own; they only pass the change on to the target.
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

// Changes whose event context is `own` (this object's writes) are not told.
std::unique_ptr<ChangeWatch> WatchCoreAudio(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator,
                                            std::shared_ptr<ChangeTarget> target, const GUID& own);
