// Which backend the component drives is decided once per object, by what
// the system can do rather than by its version.
#include "Backends.h"

#include <objbase.h>

#include "CoreAudioBackend.h"
#include "WinmmBackend.h"

std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator)
{
    if (enumerator && CoreAudioCanSetVolume(enumerator.Get()))
        return std::make_unique<CoreAudioBackend>(std::move(enumerator));
    return std::make_unique<WinmmBackend>();
}

std::unique_ptr<MixerBackend> CreateMixerBackend()
{
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&enumerator));
    return ChooseMixerBackend(std::move(enumerator));
}
