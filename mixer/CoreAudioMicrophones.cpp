#include "CoreAudioMicrophones.h"

#include <endpointvolume.h>

#include "CoreAudioBackend.h"

using Microsoft::WRL::ComPtr;

namespace {

class CoreAudioCapture final : public CaptureDevices {
public:
    CoreAudioCapture(ComPtr<IMMDeviceEnumerator> enumerator, const GUID& context)
        : enumerator_(std::move(enumerator)), context_(context)
    {
    }

    std::vector<std::wstring> Active() override
    {
        std::vector<std::wstring> ids;
        ComPtr<IMMDeviceCollection> endpoints;
        UINT count = 0;
        if (FAILED(enumerator_->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &endpoints)) ||
            FAILED(endpoints->GetCount(&count)))
            return ids;
        for (UINT i = 0; i < count; ++i) {
            ComPtr<IMMDevice> device;
            if (FAILED(endpoints->Item(i, &device))) continue;
            std::wstring id = EndpointId(device.Get());
            if (!id.empty()) ids.push_back(std::move(id));
        }
        return ids;
    }

    // The console role's microphone, and the communications one where a
    // call program uses another.
    std::vector<std::wstring> Defaults() override
    {
        std::vector<std::wstring> ids;
        for (ERole role : {eConsole, eCommunications}) {
            ComPtr<IMMDevice> device;
            DWORD state = 0;
            if (FAILED(enumerator_->GetDefaultAudioEndpoint(eCapture, role, &device)) ||
                FAILED(device->GetState(&state)) || state != DEVICE_STATE_ACTIVE)
                continue;
            std::wstring id = EndpointId(device.Get());
            if (!id.empty() && (ids.empty() || ids.front() != id)) ids.push_back(std::move(id));
        }
        return ids;
    }

    bool Muted(const std::wstring& id) override
    {
        return controls_.Use([&] { return Find(id); },
                             [](EndpointControl& endpoint) {
                                 BOOL muted = FALSE;
                                 CheckAudioCall(endpoint.volume->GetMute(&muted),
                                                "Reading a microphone's mute state failed.");
                                 return muted != FALSE;
                             });
    }

    void SetMuted(const std::wstring& id, bool muted) override
    {
        controls_.Use([&] { return Find(id); },
                      [&](EndpointControl& endpoint) {
                          CheckAudioCall(endpoint.volume->SetMute(muted ? TRUE : FALSE, &context_),
                                         "Setting a microphone's mute state failed.");
                      });
    }

private:
    ComPtr<IMMDevice> Find(const std::wstring& id) const
    {
        ComPtr<IMMDevice> device;
        CheckAudioCall(enumerator_->GetDevice(id.c_str(), &device),
                       "This microphone is no longer connected.");
        return device;
    }

    ComPtr<IMMDeviceEnumerator> enumerator_;
    GUID context_;  // the component's writes carry it
    // Each microphone's control, kept as Wine keeps the mute state in it,
    // and reached afresh when a kept one fails (after a replug).
    EndpointControls controls_;
};

}  // namespace

std::unique_ptr<CaptureDevices> OpenCoreAudioCapture(ComPtr<IMMDeviceEnumerator> enumerator,
                                                     const GUID& context)
{
    return std::make_unique<CoreAudioCapture>(std::move(enumerator), context);
}
