// Which backend the component drives is decided once per object, by what
// the system can do rather than by its version. With no output to try, Core
// Audio is taken where it exists: on Vista and later the winmm mixer would
// reach only this program's own sound, and an output may come at any time.
#include "Backends.h"

#include <objbase.h>

#include "CoreAudioBackend.h"
#include "WinmmBackend.h"

std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator)
{
    if (!enumerator) return std::make_unique<WinmmBackend>(L"this system has no Core Audio");
    if (!CoreAudioHasOutput(enumerator.Get()))
        return std::make_unique<CoreAudioBackend>(
            std::move(enumerator), L"no output yet; line 0 reaches the first one connected");
    if (CoreAudioCanSetVolume(enumerator.Get()))
        return std::make_unique<CoreAudioBackend>(std::move(enumerator),
                                                  L"it can set the volume here");
    return std::make_unique<WinmmBackend>(L"Core Audio cannot set the volume here");
}

std::unique_ptr<MixerBackend> CreateMixerBackend()
{
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&enumerator));
    return ChooseMixerBackend(std::move(enumerator));
}
