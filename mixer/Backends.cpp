// Which backend the component drives is decided once per object, by what
// the system can do rather than by its version. Only a Core Audio that says
// it cannot set the volume (E_NOTIMPL, as Wine's does) hands over to winmm:
// on Vista and later the winmm mixer reaches only this program's own sound,
// so any other failure of the probe, which may pass (the audio service not
// yet answering at logon, an endpoint being enumerated again), keeps Core
// Audio, whose every use tries again. With no output to try, Core Audio is
// taken too: an output may come at any time.
#include "Backends.h"

#include <objbase.h>

#include "CoreAudioBackend.h"
#include "WinmmBackend.h"

namespace {

const wchar_t* CoreAudioReason(HRESULT probe)
{
    if (SUCCEEDED(probe)) return L"it can set the volume here";
    if (probe == E_NOTFOUND) return L"no output yet; line 0 reaches the first one connected";
    return L"the probe at start failed, but not for want of support; every use tries again";
}

}  // namespace

std::unique_ptr<MixerBackend>
ChooseMixerBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator)
{
    if (!enumerator) return std::make_unique<WinmmBackend>(L"this system has no Core Audio");
    const HRESULT probe = ProbeEndpointVolume(enumerator.Get());
    if (probe == E_NOTIMPL)
        return std::make_unique<WinmmBackend>(L"Core Audio cannot set the volume here");
    return std::make_unique<CoreAudioBackend>(std::move(enumerator), CoreAudioReason(probe));
}

std::unique_ptr<MixerBackend> CreateMixerBackend()
{
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&enumerator));
    return ChooseMixerBackend(std::move(enumerator));
}
