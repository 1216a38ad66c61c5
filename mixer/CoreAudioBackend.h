#pragma once
// Core Audio (Vista and later): one device whose lines are the outputs.
// Line 0, "Default output", is always there and acts on whatever render
// endpoint the system uses by default at the moment of each access, failing
// while there is none; lines 1 and up are the render endpoints active when
// the device was opened, by friendly name. An output that goes away leaves
// its line failing with an error; one that comes is listed the next time the
// device is opened.
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <map>

#include "CoreAudioMicrophones.h"
#include "MixerBackend.h"
#include "VolumeScale.h"

constexpr const wchar_t* CoreAudioBackendName = L"Core Audio";
constexpr const wchar_t* DefaultOutputName = L"Default output";

// What the backend keeps of one endpoint it has reached, by endpoint id. The
// volume control is activated once and kept: Wine 8 keeps the mute state in
// the control object, so a fresh one would read it back as off. The default
// line and an output's own line share this when they reach the same endpoint,
// and it outlives the device, which is opened again to list new outputs.
struct EndpointControl {
    Microsoft::WRL::ComPtr<IAudioEndpointVolume> volume;
    VolumeMemo memo;
};
using EndpointControls = std::map<std::wstring, EndpointControl>;

class CoreAudioBackend final : public MixerBackend {
public:
    explicit CoreAudioBackend(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator,
                              const wchar_t* reason = L"");

    const wchar_t* Name() const override { return CoreAudioBackendName; }
    int DeviceCount() override { return 1; }
    int DefaultDevice() override { return 0; }
    std::unique_ptr<MixerDevice> OpenDevice(int index) override;
    std::unique_ptr<CaptureDevices> OpenCapture() override
    {
        return OpenCoreAudioCapture(enumerator_);
    }

private:
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
    EndpointControls endpoints_;
};

// True if there is an output to probe: a default or an active render endpoint.
bool CoreAudioHasOutput(IMMDeviceEnumerator* enumerator);

// True if the system's endpoint volume can really be set: the current master
// volume of the default (else the first active) render endpoint is written
// back to it unchanged. Wine, for one, answers E_NOTIMPL.
bool CoreAudioCanSetVolume(IMMDeviceEnumerator* enumerator);
