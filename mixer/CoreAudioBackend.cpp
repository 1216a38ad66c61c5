#include "CoreAudioBackend.h"

#include <endpointvolume.h>
#include <propsys.h>

#include "VolumeScale.h"

using Microsoft::WRL::ComPtr;

namespace {

// The endpoint's friendly name ("Speakers (High Definition Audio)").
const PROPERTYKEY FriendlyNameKey = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) throw MixerError(hr, what);
}

std::wstring EndpointId(IMMDevice* device)
{
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id)) || !id) return {};
    std::wstring result(id);
    CoTaskMemFree(id);
    return result;
}

HRESULT FriendlyName(IMMDevice* device, std::wstring& name)
{
    ComPtr<IPropertyStore> store;
    HRESULT hr = device->OpenPropertyStore(STGM_READ, &store);
    if (FAILED(hr)) return hr;
    PROPVARIANT value;
    PropVariantInit(&value);
    hr = store->GetValue(FriendlyNameKey, &value);
    if (SUCCEEDED(hr)) {
        if (value.vt == VT_LPWSTR && value.pwszVal)
            name = value.pwszVal;
        else
            hr = E_UNEXPECTED;
    }
    PropVariantClear(&value);
    return hr;
}

// Volume units one step of the endpoint spans, as the endpoint tells it.
uint16_t EndpointStep(IAudioEndpointVolume* volume)
{
    UINT step = 0, count = 0;
    if (FAILED(volume->GetVolumeStepInfo(&step, &count)) || count < 2) return 1;
    return static_cast<uint16_t>((FullVolume + count - 2) / (count - 1));
}

class EndpointDevice final : public MixerDevice {
public:
    explicit EndpointDevice(IMMDevice* device)
    {
        if (!device) return;
        nameResult_ = FriendlyName(device, name_);
        float level = 0;
        if (SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                       reinterpret_cast<void**>(volume_.GetAddressOf()))) &&
            SUCCEEDED(volume_->GetMasterVolumeLevelScalar(&level)))
            step_ = EndpointStep(volume_.Get());
        else
            volume_.Reset();
    }

    bool Valid() const override { return volume_ != nullptr; }
    int LineCount() const override { return 1; }
    bool LineValid(int) const override { return Valid(); }

    std::wstring LineName(int) const override
    {
        Check(nameResult_, "Reading the endpoint's name failed.");
        return name_;
    }

    uint16_t Volume(int) override
    {
        float level = 0;
        Check(Endpoint()->GetMasterVolumeLevelScalar(&level), "Reading the endpoint volume failed.");
        return memo_.Read(level, VolumeFromScalar(level));
    }

    void SetVolume(int, uint16_t value) override
    {
        Check(Endpoint()->SetMasterVolumeLevelScalar(VolumeToScalar(value), nullptr),
              "Setting the endpoint volume failed.");
        float kept = 0;
        Check(volume_->GetMasterVolumeLevelScalar(&kept), "Reading the endpoint volume failed.");
        memo_.Wrote(value, kept, VolumeFromScalar(kept), step_);
    }

    bool Mute(int) override
    {
        BOOL mute = FALSE;
        Check(Endpoint()->GetMute(&mute), "Reading the endpoint's mute state failed.");
        return mute != FALSE;
    }

    void SetMute(int, bool value) override
    {
        Check(Endpoint()->SetMute(value ? TRUE : FALSE, nullptr),
              "Setting the endpoint's mute state failed.");
    }

private:
    IAudioEndpointVolume* Endpoint() const
    {
        if (!volume_) throw MixerError(E_NOINTERFACE, "The endpoint has no usable volume control.");
        return volume_.Get();
    }

    ComPtr<IAudioEndpointVolume> volume_;
    std::wstring name_;
    HRESULT nameResult_ = E_POINTER;
    uint16_t step_ = 1;
    VolumeMemo memo_;
};

}  // namespace

CoreAudioBackend::CoreAudioBackend(ComPtr<IMMDeviceEnumerator> enumerator)
    : enumerator_(std::move(enumerator))
{
}

ComPtr<IMMDeviceCollection> CoreAudioBackend::Endpoints()
{
    ComPtr<IMMDeviceCollection> endpoints;
    Check(enumerator_->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints),
          "Listing the audio endpoints failed.");
    return endpoints;
}

int CoreAudioBackend::DeviceCount()
{
    UINT count = 0;
    Check(Endpoints()->GetCount(&count), "Counting the audio endpoints failed.");
    return static_cast<int>(count < 0x7fff ? count : 0x7fff);
}

int CoreAudioBackend::DefaultDevice()
{
    ComPtr<IMMDevice> preferred;
    if (FAILED(enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &preferred))) return 0;
    const std::wstring wanted = EndpointId(preferred.Get());
    ComPtr<IMMDeviceCollection> endpoints = Endpoints();
    UINT count = 0;
    endpoints->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (SUCCEEDED(endpoints->Item(i, &device)) && EndpointId(device.Get()) == wanted)
            return static_cast<int>(i);
    }
    return 0;
}

std::unique_ptr<MixerDevice> CoreAudioBackend::OpenDevice(int index)
{
    ComPtr<IMMDevice> device;
    Check(Endpoints()->Item(static_cast<UINT>(index), &device), "The audio endpoint is gone.");
    return std::make_unique<EndpointDevice>(device.Get());
}

bool CoreAudioCanSetVolume(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
        ComPtr<IMMDeviceCollection> endpoints;
        if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints)) ||
            FAILED(endpoints->Item(0, &device)))
            return false;
    }
    ComPtr<IAudioEndpointVolume> volume;
    float level = 0;
    return SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                      reinterpret_cast<void**>(volume.GetAddressOf()))) &&
           SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level)) &&
           SUCCEEDED(volume->SetMasterVolumeLevelScalar(level, nullptr));
}
