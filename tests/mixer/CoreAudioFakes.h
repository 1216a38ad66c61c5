#pragma once
// Stand-ins for the Core Audio objects the component reaches: an enumerator
// with its collection of endpoints, each with a property store and an
// endpoint volume. All of them read and write one FakeCoreAudio.
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <propsys.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ComObject.h"

struct FakeEndpoint {
    std::wstring id;
    std::wstring name;
    HRESULT nameResult = S_OK;
    HRESULT activateResult = S_OK;
    HRESULT setLevelResult = S_OK;  // E_NOTIMPL as on Wine
    float level = 1.0f;
    float quantum = 0;           // > 0: the level is kept in steps of this size, truncated
    bool ignoresWrites = false;  // answers S_OK but keeps its level
    UINT stepCount = 0;          // 0: GetVolumeStepInfo fails
    BOOL mute = FALSE;
    std::vector<float> levelsSet;
};

struct FakeCoreAudio {
    std::vector<FakeEndpoint> endpoints;  // the active render endpoints
    int preferred = 0;                    // -1: no default endpoint
    EDataFlow flowAsked = eAll;
    DWORD stateAsked = 0;
};

template <class Interface>
class FakeOf : public ComObject<Interface> {
public:
    FakeOf(std::shared_ptr<FakeCoreAudio> audio, int index) : audio_(std::move(audio)), index_(index) {}

protected:
    FakeEndpoint& Endpoint() { return audio_->endpoints.at(index_); }
    std::shared_ptr<FakeCoreAudio> audio_;
    int index_;
};

// Hands a new fake to an out parameter: the caller owns its one reference.
template <class Fake, class Interface>
HRESULT HandOut(std::shared_ptr<FakeCoreAudio> audio, int index, Interface** out)
{
    *out = new Fake(std::move(audio), index);
    return S_OK;
}

class FakeEndpointVolume final : public FakeOf<IAudioEndpointVolume> {
public:
    using FakeOf::FakeOf;
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) override
    {
        FakeEndpoint& e = Endpoint();
        e.levelsSet.push_back(level);
        if (FAILED(e.setLevelResult)) return e.setLevelResult;
        if (level < 0 || level > 1) return E_INVALIDARG;
        if (e.ignoresWrites) return S_OK;
        e.level = e.quantum > 0 ? std::floor(level / e.quantum) * e.quantum : level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) override
    {
        *level = Endpoint().level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override
    {
        Endpoint().mute = mute;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override
    {
        *mute = Endpoint().mute;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT* step, UINT* count) override
    {
        if (Endpoint().stepCount == 0) return E_NOTIMPL;
        *step = 0;
        *count = Endpoint().stepCount;
        return S_OK;
    }
    // Not used by the component.
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float*, float*, float*) override { return E_NOTIMPL; }
};

class FakePropertyStore final : public FakeOf<IPropertyStore> {
public:
    using FakeOf::FakeOf;
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override
    {
        PropVariantInit(value);
        static const PROPERTYKEY friendlyName = {
            {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
        const FakeEndpoint& e = Endpoint();
        if (!IsEqualGUID(key.fmtid, friendlyName.fmtid) || key.pid != friendlyName.pid)
            return S_OK;  // VT_EMPTY, as for a property the store does not have
        if (FAILED(e.nameResult)) return e.nameResult;
        const size_t bytes = (e.name.size() + 1) * sizeof(wchar_t);
        value->vt = VT_LPWSTR;
        value->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        memcpy(value->pwszVal, e.name.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Commit() override { return STG_E_ACCESSDENIED; }
};

class FakeMMDevice final : public FakeOf<IMMDevice> {
public:
    using FakeOf::FakeOf;
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, __uuidof(IAudioEndpointVolume))) return E_NOINTERFACE;
        if (FAILED(Endpoint().activateResult)) return Endpoint().activateResult;
        return HandOut<FakeEndpointVolume>(audio_, index_,
                                           reinterpret_cast<IAudioEndpointVolume**>(object));
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** store) override
    {
        return HandOut<FakePropertyStore>(audio_, index_, store);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override
    {
        const std::wstring& text = Endpoint().id;
        *id = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
        memcpy(*id, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override
    {
        *state = DEVICE_STATE_ACTIVE;
        return S_OK;
    }
};

// index_ is the number of endpoints it lists: all, or none when the
// enumerator was asked for something other than active render endpoints.
class FakeCollection final : public FakeOf<IMMDeviceCollection> {
public:
    using FakeOf::FakeOf;
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override
    {
        *count = static_cast<UINT>(index_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT i, IMMDevice** device) override
    {
        *device = nullptr;
        if (i >= static_cast<UINT>(index_)) return E_INVALIDARG;
        return HandOut<FakeMMDevice>(audio_, static_cast<int>(i), device);
    }
};

class FakeEnumerator final : public FakeOf<IMMDeviceEnumerator> {
public:
    explicit FakeEnumerator(std::shared_ptr<FakeCoreAudio> audio) : FakeOf(std::move(audio), 0) {}
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD state,
                                                 IMMDeviceCollection** devices) override
    {
        audio_->flowAsked = flow;
        audio_->stateAsked = state;
        const bool activeRender = flow == eRender && state == DEVICE_STATE_ACTIVE;
        return HandOut<FakeCollection>(
            audio_, activeRender ? static_cast<int>(audio_->endpoints.size()) : 0, devices);
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole,
                                                      IMMDevice** device) override
    {
        *device = nullptr;
        if (flow != eRender || audio_->preferred < 0 ||
            audio_->preferred >= static_cast<int>(audio_->endpoints.size()))
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        return HandOut<FakeMMDevice>(audio_, audio_->preferred, device);
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override { return E_NOTIMPL; }
};

inline Microsoft::WRL::ComPtr<IMMDeviceEnumerator> MakeFakeEnumerator(
    std::shared_ptr<FakeCoreAudio> audio)
{
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    enumerator.Attach(new FakeEnumerator(std::move(audio)));
    return enumerator;
}
