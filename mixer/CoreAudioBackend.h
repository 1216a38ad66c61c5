#pragma once
// Core Audio (Vista and later): one device whose lines are the outputs.
// Line 0, DefaultOutputLine, is always there and acts on whatever render
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

// Throws a failed Core Audio call as the component's error saying `what`.
// The audio service not running says so whatever the call: that is what the
// user can set right.
void CheckAudioCall(HRESULT hr, const char* what);

// The endpoint's id, the key its kept control is found by; empty if it has
// none.
std::wstring EndpointId(IMMDevice* device);

// What the backend keeps of one endpoint it has reached. The volume control
// is activated once and kept: Wine 8 keeps the mute state in the control
// object, so a fresh one would read it back as off.
struct EndpointControl {
    Microsoft::WRL::ComPtr<IAudioEndpointVolume> volume;
    VolumeMemo memo;
};

// The endpoint controls reached so far, by endpoint id, render and capture
// alike, and the one way to use them. A kept control can go stale while its
// endpoint stays: after an unplug and replug of a USB or Bluetooth device,
// or a sleep and resume with HDMI audio, the old object fails with no code
// the documentation promises for it. So when a kept control fails, it is
// dropped, the endpoint is reached afresh, and the operation runs once more;
// only a failure of that fresh control is reported.
class EndpointControls {
public:
    // Runs `operation` on the control of the endpoint `find()` gives now.
    // Both throw MixerError with the failure's own text.
    template <class Find, class Operation>
    auto Use(Find find, Operation operation)
    {
        const Reached reached = Reach(find());
        if (!reached.kept) return operation(reached.control);
        try {
            return operation(reached.control);
        } catch (const MixerError&) {
            reached.control.volume.Reset();
        }
        return operation(Reach(find()).control);
    }

private:
    struct Reached {
        EndpointControl& control;
        bool kept;  // false: activated just now
    };
    Reached Reach(const Microsoft::WRL::ComPtr<IMMDevice>& device);

    std::map<std::wstring, EndpointControl> controls_;
};

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
        return OpenCoreAudioCapture(enumerator_, context_);
    }
    std::unique_ptr<ChangeWatch> Watch(std::shared_ptr<ChangeTarget> target, HWND) override;
    bool WatchesEverything() const override { return true; }
    // In CoreAudioSessions.cpp.
    std::unique_ptr<AppSessions> OpenSessions() override;

private:
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
    // The event context of this backend's writes, by which its own changes
    // are told apart from others' in the notifications.
    GUID context_{};
    // Shared by the default line and an output's own line where they reach
    // the same endpoint, and kept when the device is opened again to list
    // new outputs.
    EndpointControls endpoints_;
};

// Writes the current master volume of the default (else the first active)
// render endpoint back to it unchanged, and gives what that answered: S_OK
// where Core Audio can set the volume, E_NOTIMPL where it cannot (Wine),
// E_NOTFOUND while there is no output, else the failure of the moment.
HRESULT ProbeEndpointVolume(IMMDeviceEnumerator* enumerator);
