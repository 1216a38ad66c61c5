#pragma once
// Stand-ins for the Core Audio objects the component reaches: an enumerator
// with its collection of endpoints, each with a property store and an
// endpoint volume. All of them read and write one FakeCoreAudio, where a test
// adds endpoints (push_back), removes them (state), and moves the default.
// As on Windows, a removed endpoint stays known by its id with a state other
// than active. A volume control handed out before it went, or before it came
// back, answers staleResult: no one code is documented for that.
#include <audioclient.h>
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
    DWORD state = DEVICE_STATE_ACTIVE;  // DEVICE_STATE_NOTPRESENT: removed
    EDataFlow flow = eRender;           // eCapture: a microphone
    int connections = 0;  // + 1 each time it comes back: older volume objects are stale
    HRESULT staleResult = AUDCLNT_E_DEVICE_INVALIDATED;
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
    std::vector<FakeEndpoint> endpoints;  // the render endpoints the system knows
    int preferred = 0;                    // -1: no default endpoint
    int consoleCapture = -1;              // the default microphones; -1: none
    int communicationsCapture = -1;
    EDataFlow flowAsked = eAll;
    DWORD stateAsked = 0;
    ERole roleAsked = ERole_enum_count;
};

template <class Interface>
class FakeOf : public ComObject<Interface> {
public:
    FakeOf(std::shared_ptr<FakeCoreAudio> audio, int index)
        : audio_(std::move(audio)), index_(index)
    {
    }

protected:
    FakeEndpoint& Endpoint() { return audio_->endpoints.at(index_); }
    bool Gone() { return Endpoint().state != DEVICE_STATE_ACTIVE; }
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
    FakeEndpointVolume(std::shared_ptr<FakeCoreAudio> audio, int index)
        : FakeOf(std::move(audio), index), connection_(Endpoint().connections)
    {
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) override
    {
        if (Invalid()) return Endpoint().staleResult;
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
        if (Invalid()) return Endpoint().staleResult;
        *level = Endpoint().level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override
    {
        if (Invalid()) return Endpoint().staleResult;
        Endpoint().mute = mute;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override
    {
        if (Invalid()) return Endpoint().staleResult;
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
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float*, float*, float*) override { return E_NOTIMPL; }

private:
    bool Invalid() { return Gone() || Endpoint().connections != connection_; }
    int connection_;
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
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override
    {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return STG_E_ACCESSDENIED; }
};

class FakeMMDevice final : public FakeOf<IMMDevice> {
public:
    using FakeOf::FakeOf;
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, __uuidof(IAudioEndpointVolume))) return E_NOINTERFACE;
        if (Gone()) return AUDCLNT_E_DEVICE_INVALIDATED;
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
        *state = Endpoint().state;
        return S_OK;
    }
};

// The endpoints of `flow` that were active when it was made, in the system's
// order: none when the enumerator was asked for other than active ones.
class FakeCollection final : public ComObject<IMMDeviceCollection> {
public:
    FakeCollection(std::shared_ptr<FakeCoreAudio> audio, EDataFlow flow, bool active)
        : audio_(std::move(audio))
    {
        for (size_t i = 0; active && i < audio_->endpoints.size(); ++i)
            if (audio_->endpoints[i].state == DEVICE_STATE_ACTIVE &&
                audio_->endpoints[i].flow == flow)
                listed_.push_back(static_cast<int>(i));
    }
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override
    {
        *count = static_cast<UINT>(listed_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT i, IMMDevice** device) override
    {
        *device = nullptr;
        if (i >= listed_.size()) return E_INVALIDARG;
        return HandOut<FakeMMDevice>(audio_, listed_[i], device);
    }

private:
    std::shared_ptr<FakeCoreAudio> audio_;
    std::vector<int> listed_;
};

class FakeEnumerator final : public FakeOf<IMMDeviceEnumerator> {
public:
    explicit FakeEnumerator(std::shared_ptr<FakeCoreAudio> audio) : FakeOf(std::move(audio), 0) {}
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD state,
                                                 IMMDeviceCollection** devices) override
    {
        audio_->flowAsked = flow;
        audio_->stateAsked = state;
        *devices = new FakeCollection(audio_, flow, state == DEVICE_STATE_ACTIVE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role,
                                                      IMMDevice** device) override
    {
        *device = nullptr;
        int preferred = audio_->preferred;
        if (flow == eCapture)
            preferred =
                role == eCommunications ? audio_->communicationsCapture : audio_->consoleCapture;
        else
            audio_->roleAsked = role;
        if (preferred < 0 || preferred >= static_cast<int>(audio_->endpoints.size()) ||
            audio_->endpoints[preferred].state != DEVICE_STATE_ACTIVE ||
            audio_->endpoints[preferred].flow != flow)
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        return HandOut<FakeMMDevice>(audio_, preferred, device);
    }
    // Any endpoint the system knows, removed or not; its state tells which.
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** device) override
    {
        *device = nullptr;
        for (size_t i = 0; i < audio_->endpoints.size(); ++i)
            if (id && audio_->endpoints[i].id == id)
                return HandOut<FakeMMDevice>(audio_, static_cast<int>(i), device);
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterEndpointNotificationCallback(IMMNotificationClient*) override
    {
        return E_NOTIMPL;
    }
};

inline Microsoft::WRL::ComPtr<IMMDeviceEnumerator>
MakeFakeEnumerator(std::shared_ptr<FakeCoreAudio> audio)
{
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    enumerator.Attach(new FakeEnumerator(std::move(audio)));
    return enumerator;
}
