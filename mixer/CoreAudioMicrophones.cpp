#include "CoreAudioMicrophones.h"

#include <audioclient.h>
#include <endpointvolume.h>

#include <map>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring IdOf(IMMDevice* device)
{
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id)) || !id) return {};
    std::wstring result(id);
    CoTaskMemFree(id);
    return result;
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) throw MixerError(hr, what);
}

class CoreAudioCapture final : public CaptureDevices {
public:
    explicit CoreAudioCapture(ComPtr<IMMDeviceEnumerator> enumerator)
        : enumerator_(std::move(enumerator))
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
            std::wstring id = IdOf(device.Get());
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
            std::wstring id = IdOf(device.Get());
            if (!id.empty() && (ids.empty() || ids.front() != id)) ids.push_back(std::move(id));
        }
        return ids;
    }

    bool Muted(const std::wstring& id) override
    {
        BOOL muted = FALSE;
        Use(id, "Reading a microphone's mute state failed.",
            [&](IAudioEndpointVolume* volume) { return volume->GetMute(&muted); });
        return muted != FALSE;
    }

    void SetMuted(const std::wstring& id, bool muted) override
    {
        Use(id, "Setting a microphone's mute state failed.", [&](IAudioEndpointVolume* volume) {
            return volume->SetMute(muted ? TRUE : FALSE, nullptr);
        });
    }

private:
    // Runs `operation` on the endpoint's kept control. Wine keeps the mute
    // state in the control object, so one is made per endpoint and kept; a
    // control from before the endpoint was plugged in again answers
    // AUDCLNT_E_DEVICE_INVALIDATED and is made anew once.
    template <class Operation>
    void Use(const std::wstring& id, const char* failure, Operation operation)
    {
        HRESULT hr = operation(Control(id));
        if (hr == AUDCLNT_E_DEVICE_INVALIDATED) {
            controls_.erase(id);
            hr = operation(Control(id));
        }
        Check(hr, failure);
    }

    IAudioEndpointVolume* Control(const std::wstring& id)
    {
        ComPtr<IAudioEndpointVolume>& volume = controls_[id];
        if (volume) return volume.Get();
        ComPtr<IMMDevice> device;
        HRESULT hr = enumerator_->GetDevice(id.c_str(), &device);
        if (SUCCEEDED(hr))
            hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                  reinterpret_cast<void**>(volume.ReleaseAndGetAddressOf()));
        if (SUCCEEDED(hr) && !volume) hr = E_POINTER;
        if (FAILED(hr)) {
            controls_.erase(id);
            throw MixerError(hr, "A microphone has no usable mute control.");
        }
        return volume.Get();
    }

    ComPtr<IMMDeviceEnumerator> enumerator_;
    std::map<std::wstring, ComPtr<IAudioEndpointVolume>> controls_;
};

}  // namespace

std::unique_ptr<CaptureDevices> OpenCoreAudioCapture(ComPtr<IMMDeviceEnumerator> enumerator)
{
    return std::make_unique<CoreAudioCapture>(std::move(enumerator));
}
