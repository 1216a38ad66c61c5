#include "CoreAudioBackend.h"

#include <audioclient.h>
#include <endpointvolume.h>
#include <propsys.h>

#include <algorithm>
#include <map>
#include <vector>

#include "VolumeScale.h"

using Microsoft::WRL::ComPtr;

namespace {

// The role line 0 follows. The Sound control panel's "Set Default" gives an
// output the console and the multimedia role together, so on an ordinary
// system both name the same endpoint; they part only where a tool assigns
// them one by one. Console is the role of "interaction with the computer"
// (system sounds, games), the one the user hears the system itself use, and
// the one CoreAudioCanSetVolume probes, so the probe and the line agree.
constexpr ERole DefaultOutputRole = eConsole;

// The endpoint's friendly name ("Speakers (High Definition Audio)").
const PROPERTYKEY FriendlyNameKey = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

const char* const GoneText = "This output is no longer connected.";

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

ComPtr<IMMDeviceCollection> ActiveEndpoints(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDeviceCollection> endpoints;
    if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints)))
        return nullptr;
    return endpoints;
}

struct Output {
    std::wstring id;
    std::wstring name;
    HRESULT nameResult;
};

// The active render endpoints by name: the system lists them in no promised
// order, and the user should find the same list at every start.
std::vector<Output> ListOutputs(IMMDeviceEnumerator* enumerator)
{
    std::vector<Output> outputs;
    ComPtr<IMMDeviceCollection> endpoints = ActiveEndpoints(enumerator);
    UINT count = 0;
    if (!endpoints || FAILED(endpoints->GetCount(&count))) return outputs;
    for (UINT i = 0; i < count && outputs.size() < 0x7ffe; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(endpoints->Item(i, &device))) continue;
        Output output{EndpointId(device.Get()), {}, S_OK};
        output.nameResult = FriendlyName(device.Get(), output.name);
        if (!output.id.empty()) outputs.push_back(std::move(output));
    }
    std::sort(outputs.begin(), outputs.end(), [](const Output& a, const Output& b) {
        const int order = lstrcmpiW(a.name.c_str(), b.name.c_str());
        return order != 0 ? order < 0 : a.id < b.id;
    });
    return outputs;
}

class OutputsDevice final : public MixerDevice {
public:
    OutputsDevice(ComPtr<IMMDeviceEnumerator> enumerator, EndpointControls& endpoints)
        : enumerator_(std::move(enumerator)), outputs_(ListOutputs(enumerator_.Get())),
          endpoints_(endpoints)
    {
    }

    // Usable also with no output: its default line reaches the first that comes.
    bool Valid() const override { return true; }

    int LineCount() const override { return static_cast<int>(outputs_.size()) + 1; }

    bool LineValid(int line) const override
    {
        if (line == 0) return true;  // the user's choice while outputs come and go
        ComPtr<IMMDevice> device;
        ComPtr<IAudioEndpointVolume> volume;
        const char* why = nullptr;
        return SUCCEEDED(Find(line, device, why)) && SUCCEEDED(Activate(device.Get(), volume, why));
    }

    std::wstring LineName(int line) const override
    {
        if (line == 0) return DefaultOutputName;
        const Output& output = outputs_[line - 1];
        Check(output.nameResult, "Reading the endpoint's name failed.");
        return output.name;
    }

    uint16_t Volume(int line) override
    {
        uint16_t volume = 0;
        Use(line, "Reading the endpoint volume failed.", [&](EndpointControl& endpoint) {
            float level = 0;
            const HRESULT hr = endpoint.volume->GetMasterVolumeLevelScalar(&level);
            if (SUCCEEDED(hr)) volume = endpoint.memo.Read(level, VolumeFromScalar(level));
            return hr;
        });
        return volume;
    }

    void SetVolume(int line, uint16_t value) override
    {
        const char* failure = "Setting the endpoint volume failed.";
        Use(line, failure, [&](EndpointControl& endpoint) {
            HRESULT hr =
                endpoint.volume->SetMasterVolumeLevelScalar(VolumeToScalar(value), nullptr);
            float kept = 0;
            if (SUCCEEDED(hr)) {
                failure = "Reading the endpoint volume failed.";
                hr = endpoint.volume->GetMasterVolumeLevelScalar(&kept);
            }
            if (SUCCEEDED(hr))
                endpoint.memo.Wrote(value, kept, VolumeFromScalar(kept),
                                    EndpointStep(endpoint.volume.Get()));
            return hr;
        });
    }

    bool Mute(int line) override
    {
        BOOL mute = FALSE;
        Use(line, "Reading the endpoint's mute state failed.",
            [&](EndpointControl& endpoint) { return endpoint.volume->GetMute(&mute); });
        return mute != FALSE;
    }

    void SetMute(int line, bool value) override
    {
        Use(line, "Setting the endpoint's mute state failed.", [&](EndpointControl& endpoint) {
            return endpoint.volume->SetMute(value ? TRUE : FALSE, nullptr);
        });
    }

private:
    // Runs `operation` on the line's endpoint as it is now. A control kept
    // from before the endpoint was unplugged and plugged in again answers
    // AUDCLNT_E_DEVICE_INVALIDATED: the operation gets one fresh control.
    // `failure` is read once the operation has run, which may change it.
    template <class Operation>
    void Use(int line, const char* const& failure, Operation operation)
    {
        HRESULT hr = operation(Reach(line));
        if (hr == AUDCLNT_E_DEVICE_INVALIDATED) {
            endpoints_.erase(lastReached_);
            hr = operation(Reach(line));
        }
        Check(hr, failure);
    }

    // The line's endpoint with its kept control; remembers its id for Use.
    EndpointControl& Reach(int line)
    {
        ComPtr<IMMDevice> device;
        const char* why = nullptr;
        HRESULT hr = Find(line, device, why);
        if (FAILED(hr)) {
            if (line > 0) endpoints_.erase(outputs_[line - 1].id);
            throw MixerError(hr, why);
        }
        lastReached_ = line > 0 ? outputs_[line - 1].id : EndpointId(device.Get());
        EndpointControl& endpoint = endpoints_[lastReached_];
        if (!endpoint.volume) {
            hr = Activate(device.Get(), endpoint.volume, why);
            if (FAILED(hr)) {
                endpoints_.erase(lastReached_);
                throw MixerError(hr, why);
            }
        }
        return endpoint;
    }

    // The line's endpoint if it is there now, else the failure and `why`.
    HRESULT Find(int line, ComPtr<IMMDevice>& device, const char*& why) const
    {
        if (line == 0) {
            why = "There is no default output now.";
            return enumerator_->GetDefaultAudioEndpoint(eRender, DefaultOutputRole, &device);
        }
        why = GoneText;
        const HRESULT hr = enumerator_->GetDevice(outputs_[line - 1].id.c_str(), &device);
        if (FAILED(hr)) return hr;
        DWORD state = 0;
        if (FAILED(device->GetState(&state)) || state != DEVICE_STATE_ACTIVE)
            return AUDCLNT_E_DEVICE_INVALIDATED;
        return S_OK;
    }

    static HRESULT Activate(IMMDevice* device, ComPtr<IAudioEndpointVolume>& volume,
                            const char*& why)
    {
        HRESULT hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                      reinterpret_cast<void**>(volume.ReleaseAndGetAddressOf()));
        if (SUCCEEDED(hr) && !volume) hr = E_POINTER;
        if (FAILED(hr) && hr != AUDCLNT_E_DEVICE_INVALIDATED)
            why = "The endpoint has no usable volume control.";
        return hr;
    }

    ComPtr<IMMDeviceEnumerator> enumerator_;
    std::vector<Output> outputs_;
    EndpointControls& endpoints_;  // the backend's, kept when the device is opened again
    std::wstring lastReached_;
};

}  // namespace

CoreAudioBackend::CoreAudioBackend(ComPtr<IMMDeviceEnumerator> enumerator, const wchar_t* reason)
    : MixerBackend(reason), enumerator_(std::move(enumerator))
{
}

std::unique_ptr<MixerDevice> CoreAudioBackend::OpenDevice(int)
{
    return std::make_unique<OutputsDevice>(enumerator_, endpoints_);
}

namespace {

// The output the probe writes to: the default, else the first active one.
ComPtr<IMMDevice> ProbedOutput(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDevice> device;
    if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, DefaultOutputRole, &device)))
        return device;
    ComPtr<IMMDeviceCollection> endpoints = ActiveEndpoints(enumerator);
    if (!endpoints || FAILED(endpoints->Item(0, &device))) return nullptr;
    return device;
}

}  // namespace

bool CoreAudioHasOutput(IMMDeviceEnumerator* enumerator)
{
    return ProbedOutput(enumerator) != nullptr;
}

bool CoreAudioCanSetVolume(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDevice> device = ProbedOutput(enumerator);
    if (!device) return false;
    ComPtr<IAudioEndpointVolume> volume;
    float level = 0;
    return SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                      reinterpret_cast<void**>(volume.GetAddressOf()))) &&
           SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level)) &&
           SUCCEEDED(volume->SetMasterVolumeLevelScalar(level, nullptr));
}
