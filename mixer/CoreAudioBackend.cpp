#include "CoreAudioBackend.h"

#include <audioclient.h>
#include <endpointvolume.h>
#include <propsys.h>

#include <algorithm>
#include <map>
#include <vector>

#include "CoreAudioNotifications.h"
#include "DefaultOutput.h"
#include "TarnMixerIds.h"
#include "VolumeScale.h"

using Microsoft::WRL::ComPtr;

namespace {

// The role line 0 follows. The Sound control panel's "Set Default" gives an
// output the console and the multimedia role together, so on an ordinary
// system both name the same endpoint; they part only where a tool assigns
// them one by one. Console is the role of "interaction with the computer"
// (system sounds, games), the one the user hears the system itself use, and
// the one ProbeEndpointVolume probes, so the probe and the line agree.
constexpr ERole DefaultOutputRole = eConsole;

// The endpoint's friendly name ("Speakers (High Definition Audio)").
const PROPERTYKEY FriendlyNameKey = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

const char* const GoneText = "This output is no longer connected.";

}  // namespace

void CheckAudioCall(HRESULT hr, const char* what)
{
    if (hr == AUDCLNT_E_SERVICE_NOT_RUNNING) what = "The Windows audio service is not running.";
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

namespace {

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

HRESULT ActivateVolume(IMMDevice* device, ComPtr<IAudioEndpointVolume>& volume)
{
    const HRESULT hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                        reinterpret_cast<void**>(volume.ReleaseAndGetAddressOf()));
    return SUCCEEDED(hr) && !volume ? E_POINTER : hr;
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
    // Runs `operation` on the line's endpoint control (defined first, as
    // the members below deduce their results from it).
    template <class Operation>
    auto Use(int line, Operation operation)
    {
        return endpoints_.Use([&] { return Find(line); }, operation);
    }

public:
    OutputsDevice(ComPtr<IMMDeviceEnumerator> enumerator, EndpointControls& endpoints,
                  const GUID& context)
        : enumerator_(std::move(enumerator)), outputs_(ListOutputs(enumerator_.Get())),
          endpoints_(endpoints), context_(context)
    {
    }

    // Usable also with no output: its default line reaches the first that comes.
    bool Valid() const override { return true; }

    int LineCount() const override { return static_cast<int>(outputs_.size()) + 1; }

    bool LineValid(int line) const override
    {
        if (line == 0) return true;  // the user's choice while outputs come and go
        try {
            endpoints_.Use([&] { return Find(line); }, [](EndpointControl&) {});
            return true;
        } catch (const MixerError&) {
            return false;
        }
    }

    std::wstring LineName(int line) const override
    {
        if (line == 0)
            return std::wstring(DefaultOutputLine, DefaultOutputLine + lstrlenA(DefaultOutputLine));
        const Output& output = outputs_[line - 1];
        CheckAudioCall(output.nameResult, "Reading the endpoint's name failed.");
        return output.name;
    }

    uint16_t Volume(int line) override
    {
        return Use(line, [](EndpointControl& endpoint) {
            float level = 0;
            CheckAudioCall(endpoint.volume->GetMasterVolumeLevelScalar(&level),
                           "Reading the endpoint volume failed.");
            return endpoint.memo.Read(level, VolumeFromScalar(level));
        });
    }

    void SetVolume(int line, uint16_t value) override
    {
        Use(line, [&](EndpointControl& endpoint) {
            const float written = VolumeToScalar(value);
            CheckAudioCall(endpoint.volume->SetMasterVolumeLevelScalar(written, &context_),
                           "Setting the endpoint volume failed.");
            float kept = 0;
            CheckAudioCall(endpoint.volume->GetMasterVolumeLevelScalar(&kept),
                           "Reading the endpoint volume failed.");
            // Kept exactly, the written level counts as followed even where
            // the scalar stands for a volume a little off the one written.
            endpoint.memo.Wrote(value, kept, kept == written ? value : VolumeFromScalar(kept),
                                EndpointStep(endpoint.volume.Get()));
        });
    }

    bool Mute(int line) override
    {
        return Use(line, [](EndpointControl& endpoint) {
            BOOL mute = FALSE;
            CheckAudioCall(endpoint.volume->GetMute(&mute),
                           "Reading the endpoint's mute state failed.");
            return mute != FALSE;
        });
    }

    void SetMute(int line, bool value) override
    {
        Use(line, [&](EndpointControl& endpoint) {
            CheckAudioCall(endpoint.volume->SetMute(value ? TRUE : FALSE, &context_),
                           "Setting the endpoint's mute state failed.");
        });
    }

    // The listed output that is the same endpoint as line 0 now.
    int DefaultLine() override
    {
        ComPtr<IMMDevice> device;
        const HRESULT hr =
            enumerator_->GetDefaultAudioEndpoint(eRender, DefaultOutputRole, &device);
        if (hr == E_NOTFOUND) return -1;
        CheckAudioCall(hr, "Reading the default output failed.");
        const std::wstring id = EndpointId(device.Get());
        for (std::size_t i = 0; i < outputs_.size(); ++i)
            if (outputs_[i].id == id) return static_cast<int>(i) + 1;
        return -1;
    }

    // Line 0 names the console role's output: it becomes every role's.
    void SetDefaultLine(int line) override
    {
        const std::wstring id = EndpointId(Find(line).Get());
        MakeDefaultOutput(enumerator_.Get(), CreatePolicyConfig().Get(), id);
    }

private:
    // The line's endpoint as it is now.
    ComPtr<IMMDevice> Find(int line) const
    {
        ComPtr<IMMDevice> device;
        if (line == 0) {
            CheckAudioCall(
                enumerator_->GetDefaultAudioEndpoint(eRender, DefaultOutputRole, &device),
                "There is no default output now.");
            return device;
        }
        CheckAudioCall(enumerator_->GetDevice(outputs_[line - 1].id.c_str(), &device), GoneText);
        DWORD state = 0;
        if (FAILED(device->GetState(&state)) || state != DEVICE_STATE_ACTIVE)
            throw MixerError(AUDCLNT_E_DEVICE_INVALIDATED, GoneText);
        return device;
    }

    ComPtr<IMMDeviceEnumerator> enumerator_;
    std::vector<Output> outputs_;
    EndpointControls& endpoints_;  // the backend's, kept when the device is opened again
    const GUID& context_;          // the backend's, which outlives the device
};

}  // namespace

EndpointControls::Reached EndpointControls::Reach(const ComPtr<IMMDevice>& device)
{
    EndpointControl& control = controls_[EndpointId(device.Get())];
    if (control.volume) return {control, true};
    const HRESULT hr = ActivateVolume(device.Get(), control.volume);
    if (FAILED(hr)) control.volume.Reset();
    CheckAudioCall(hr, hr == AUDCLNT_E_DEVICE_INVALIDATED
                           ? "The endpoint is no longer connected."
                           : "The endpoint has no usable volume control.");
    return {control, false};
}

CoreAudioBackend::CoreAudioBackend(ComPtr<IMMDeviceEnumerator> enumerator, const wchar_t* reason)
    : MixerBackend(reason), enumerator_(std::move(enumerator))
{
    CoCreateGuid(&context_);
}

std::unique_ptr<MixerDevice> CoreAudioBackend::OpenDevice(int)
{
    return std::make_unique<OutputsDevice>(enumerator_, endpoints_, context_);
}

std::unique_ptr<ChangeWatch> CoreAudioBackend::Watch(std::shared_ptr<ChangeTarget> target, HWND)
{
    return WatchCoreAudio(enumerator_, std::move(target), context_);
}

namespace {

// The output the probe writes to: the default, else the first active one;
// the default's failure where there is neither.
HRESULT ProbedOutput(IMMDeviceEnumerator* enumerator, ComPtr<IMMDevice>& device)
{
    const HRESULT hr = enumerator->GetDefaultAudioEndpoint(eRender, DefaultOutputRole, &device);
    if (SUCCEEDED(hr)) return hr;
    ComPtr<IMMDeviceCollection> endpoints = ActiveEndpoints(enumerator);
    return endpoints && SUCCEEDED(endpoints->Item(0, &device)) ? S_OK : hr;
}

}  // namespace

HRESULT ProbeEndpointVolume(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDevice> device;
    ComPtr<IAudioEndpointVolume> volume;
    float level = 0;
    HRESULT hr = ProbedOutput(enumerator, device);
    if (SUCCEEDED(hr)) hr = ActivateVolume(device.Get(), volume);
    if (SUCCEEDED(hr)) hr = volume->GetMasterVolumeLevelScalar(&level);
    if (SUCCEEDED(hr)) hr = volume->SetMasterVolumeLevelScalar(level, nullptr);
    return hr;
}
