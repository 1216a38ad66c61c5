#pragma once
// Core Audio (Vista and later): every active render endpoint is a device,
// and its master volume and mute form the device's one line.
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "MixerBackend.h"

class CoreAudioBackend final : public MixerBackend {
public:
    explicit CoreAudioBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator);

    const wchar_t* Name() const override { return L"Core Audio"; }
    int DeviceCount() override;
    int DefaultDevice() override;
    std::unique_ptr<MixerDevice> OpenDevice(int index) override;

private:
    Microsoft::WRL::ComPtr<IMMDeviceCollection> Endpoints();

    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
};

// True if the system's endpoint volume can really be set: the current master
// volume of the default (else the first active) render endpoint is written
// back to it unchanged. Wine, for one, answers E_NOTIMPL.
bool CoreAudioCanSetVolume(IMMDeviceEnumerator* enumerator);
