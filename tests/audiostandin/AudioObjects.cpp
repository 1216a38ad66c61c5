#include "AudioObjects.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<long> liveObjects{0};

const HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
const PROPERTYKEY FriendlyNameKey = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
// Windows' software volume range, in decibels.
constexpr float MinDecibels = -65.25f, MaxDecibels = 0, DecibelStep = 0.03125f;

class CriticalSectionHold {
public:
    explicit CriticalSectionHold(CRITICAL_SECTION& lock) : lock_(lock)
    {
        EnterCriticalSection(&lock_);
    }
    ~CriticalSectionHold() { LeaveCriticalSection(&lock_); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

// IUnknown for an object that answers each of `Interfaces` (and the bases
// that Answer() adds).
template <class... Interfaces>
class ComBase : public Interfaces... {
public:
    ComBase() { ++liveObjects; }
    virtual ~ComBase() { --liveObjects; }
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
        if (IsEqualIID(iid, __uuidof(IUnknown))) *object = static_cast<First*>(this);
        ((!*object && IsEqualIID(iid, __uuidof(Interfaces)) &&
          (*object = static_cast<Interfaces*>(this))),
         ...);
        if (!*object) *object = Answer(iid);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;  // the object owns itself once handed out
        return left;
    }

protected:
    virtual void* Answer(REFIID) { return nullptr; }

private:
    std::atomic<ULONG> references_{1};
};

template <class Object, class Interface, class... Args>
HRESULT HandOut(Interface** out, Args&&... args)
{
    if (!out) return E_POINTER;
    *out = new Object(std::forward<Args>(args)...);
    return S_OK;
}

LPWSTR TaskText(const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text.c_str(), bytes);
    return copy;
}

HRESULT GiveText(const std::wstring& text, LPWSTR* out)
{
    if (!out) return E_POINTER;
    *out = TaskText(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// An object of one endpoint, as it was when handed out.
class EndpointPart {
public:
    EndpointPart(std::shared_ptr<AudioProcess> process, int endpoint)
        : process_(std::move(process)), endpoint_(endpoint)
    {
    }

protected:
    template <class Use>
    HRESULT Read(Use use)
    {
        return process_->Store().Read(
            [&](AudioSystem& system) { return use(system, system.endpoints.at(endpoint_)); });
    }
    std::shared_ptr<AudioProcess> process_;
    int endpoint_;
};

class EndpointVolume final : public ComBase<IAudioEndpointVolume>, EndpointPart {
public:
    EndpointVolume(std::shared_ptr<AudioProcess> process, int endpoint, int connection)
        : EndpointPart(std::move(process), endpoint), connection_(connection)
    {
    }

    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID context) override
    {
        return Use(true, [&](AudioSystem& system, AudioEndpoint&) {
            return system.SetLevel(endpoint_, level, context);
        });
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) override
    {
        if (!level) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioEndpoint& e) { return *level = e.level, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID context) override
    {
        return Use(true, [&](AudioSystem& system, AudioEndpoint&) {
            return system.SetMute(endpoint_, mute, context);
        });
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override
    {
        if (!mute) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioEndpoint& e) { return *mute = e.mute, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT* step, UINT* count) override
    {
        if (!step || !count) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioEndpoint& e) {
            if (e.stepCount < 2) return E_NOTIMPL;
            *count = e.stepCount;
            *step = static_cast<UINT>(std::lround(e.level * (e.stepCount - 1)));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID context) override { return Step(1, context); }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID context) override { return Step(-1, context); }
    HRESULT STDMETHODCALLTYPE
    RegisterControlChangeNotify(IAudioEndpointVolumeCallback* callback) override
    {
        return process_->AddVolumeCallback(endpoint_, callback);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterControlChangeNotify(IAudioEndpointVolumeCallback* callback) override
    {
        return process_->RemoveVolumeCallback(callback);
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioEndpoint&) { return *count = 2, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float decibels, LPCGUID context) override
    {
        if (decibels < MinDecibels || decibels > MaxDecibels) return E_INVALIDARG;
        return SetMasterVolumeLevelScalar(std::pow(10.0f, decibels / 20), context);
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float* decibels) override
    {
        float level = 0;
        const HRESULT hr = GetMasterVolumeLevelScalar(&level);
        if (SUCCEEDED(hr) && decibels)
            *decibels = level > 0 ? std::max(MinDecibels, 20 * std::log10(level)) : MinDecibels;
        return decibels ? hr : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT channel, float* level) override
    {
        return channel < 2 ? GetMasterVolumeLevelScalar(level) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT channel, float* decibels) override
    {
        return channel < 2 ? GetMasterVolumeLevel(decibels) : E_INVALIDARG;
    }
    // The channels follow the master level; set apart they are not kept.
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD* mask) override
    {
        if (!mask) return E_POINTER;
        return *mask = 0, S_OK;  // a software volume
    }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float* min, float* max, float* step) override
    {
        if (!min || !max || !step) return E_POINTER;
        *min = MinDecibels, *max = MaxDecibels, *step = DecibelStep;
        return S_OK;
    }

private:
    // The endpoint gone, or gone and back since this object was made: the
    // object is stale.
    template <class Action>
    HRESULT Use(bool keep, Action use)
    {
        auto checked = [&](AudioSystem& system) {
            AudioEndpoint& e = system.endpoints.at(endpoint_);
            if (e.state != DEVICE_STATE_ACTIVE || e.connections != connection_)
                return e.staleResult;
            if (!system.serviceRunning) return AUDCLNT_E_SERVICE_NOT_RUNNING;
            return use(system, e);
        };
        return keep ? process_->Store().Write(checked) : process_->Store().Read(checked);
    }
    HRESULT Step(int direction, LPCGUID context)
    {
        return Use(true, [&](AudioSystem& system, AudioEndpoint& e) {
            if (e.stepCount < 2) return E_NOTIMPL;
            const float step = 1.0f / (e.stepCount - 1);
            const float level = std::lround(e.level / step + direction) * step;
            return system.SetLevel(endpoint_, std::min(1.0f, std::max(0.0f, level)), context);
        });
    }
    int connection_;
};

class PropertyStore final : public ComBase<IPropertyStore>, EndpointPart {
public:
    using EndpointPart::EndpointPart;
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override
    {
        if (!value) return E_POINTER;
        PropVariantInit(value);
        if (!IsEqualGUID(key.fmtid, FriendlyNameKey.fmtid) || key.pid != FriendlyNameKey.pid)
            return S_OK;  // VT_EMPTY, as for a property the store does not have
        return Read([&](AudioSystem&, AudioEndpoint& e) {
            if (FAILED(e.nameResult)) return e.nameResult;
            value->pwszVal = TaskText(e.name);
            value->vt = VT_LPWSTR;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override
    {
        if (!count) return E_POINTER;
        return *count = 1, S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override
    {
        if (!key) return E_POINTER;
        if (index != 0) return E_INVALIDARG;
        return *key = FriendlyNameKey, S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override
    {
        return STG_E_ACCESSDENIED;  // opened for reading
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return STG_E_ACCESSDENIED; }
};

class Session final : public ComBase<IAudioSessionControl2, ISimpleAudioVolume> {
public:
    Session(std::shared_ptr<AudioProcess> process, int key)
        : process_(std::move(process)), key_(key)
    {
    }
    HRESULT STDMETHODCALLTYPE GetState(AudioSessionState* state) override
    {
        if (!state) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioSession& s) {
            return *state = s.expired ? AudioSessionStateExpired : AudioSessionStateActive, S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(LPWSTR* name) override
    {
        return Use(false, [&](AudioSystem&, AudioSession& s) { return GiveText(s.name, name); });
    }
    HRESULT STDMETHODCALLTYPE SetDisplayName(LPCWSTR name, LPCGUID) override
    {
        if (!name) return E_POINTER;
        return Use(true, [&](AudioSystem&, AudioSession& s) { return s.name = name, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetIconPath(LPWSTR* path) override { return GiveText(L"", path); }
    HRESULT STDMETHODCALLTYPE SetIconPath(LPCWSTR, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGroupingParam(GUID* group) override
    {
        if (!group) return E_POINTER;
        return *group = GUID_NULL, S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetGroupingParam(LPCGUID, LPCGUID) override { return E_NOTIMPL; }
    // The session's own events are not given.
    HRESULT STDMETHODCALLTYPE RegisterAudioSessionNotification(IAudioSessionEvents* events) override
    {
        return events ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterAudioSessionNotification(IAudioSessionEvents* events) override
    {
        return events ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetSessionIdentifier(LPWSTR* id) override
    {
        return Use(false, [&](AudioSystem& system, AudioSession& s) {
            return GiveText(
                system.endpoints.at(s.endpoint).id + L"|session " + std::to_wstring(s.pid), id);
        });
    }
    HRESULT STDMETHODCALLTYPE GetSessionInstanceIdentifier(LPWSTR* id) override
    {
        return Use(false, [&](AudioSystem& system, AudioSession& s) {
            return GiveText(system.endpoints.at(s.endpoint).id + L"|session " +
                                std::to_wstring(s.pid) + L"|" + std::to_wstring(s.key),
                            id);
        });
    }
    HRESULT STDMETHODCALLTYPE GetProcessId(DWORD* pid) override
    {
        if (!pid) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioSession& s) { return *pid = s.pid, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE IsSystemSoundsSession() override
    {
        return Use(false, [&](AudioSystem&, AudioSession& s) { return s.pid ? S_FALSE : S_OK; });
    }
    HRESULT STDMETHODCALLTYPE SetDuckingPreference(WINBOOL) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE SetMasterVolume(float level, LPCGUID) override
    {
        if (!(level >= 0 && level <= 1)) return E_INVALIDARG;
        return Use(true, [&](AudioSystem&, AudioSession& s) { return s.level = level, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolume(float* level) override
    {
        if (!level) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioSession& s) { return *level = s.level, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override
    {
        return Use(true, [&](AudioSystem&, AudioSession& s) {
            return s.mute = mute ? TRUE : FALSE, S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override
    {
        if (!mute) return E_POINTER;
        return Use(false, [&](AudioSystem&, AudioSession& s) { return *mute = s.mute, S_OK; });
    }

protected:
    void* Answer(REFIID iid) override
    {
        return IsEqualIID(iid, __uuidof(IAudioSessionControl))
                   ? static_cast<IAudioSessionControl*>(this)
                   : nullptr;
    }

private:
    template <class Action>
    HRESULT Use(bool keep, Action use)
    {
        auto checked = [&](AudioSystem& system) {
            AudioSession* s = system.Session(key_);
            if (!s || system.endpoints.at(s->endpoint).state != DEVICE_STATE_ACTIVE)
                return AUDCLNT_E_DEVICE_INVALIDATED;
            if (!system.serviceRunning) return AUDCLNT_E_SERVICE_NOT_RUNNING;
            return use(system, *s);
        };
        return keep ? process_->Store().Write(checked) : process_->Store().Read(checked);
    }
    std::shared_ptr<AudioProcess> process_;
    int key_;
};

class SessionEnumerator final : public ComBase<IAudioSessionEnumerator> {
public:
    SessionEnumerator(std::shared_ptr<AudioProcess> process, std::vector<int> keys)
        : process_(std::move(process)), keys_(std::move(keys))
    {
    }
    HRESULT STDMETHODCALLTYPE GetCount(int* count) override
    {
        if (!count) return E_POINTER;
        return *count = static_cast<int>(keys_.size()), S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSession(int index, IAudioSessionControl** session) override
    {
        if (!session) return E_POINTER;
        *session = nullptr;
        if (index < 0 || index >= static_cast<int>(keys_.size())) return E_INVALIDARG;
        *session = static_cast<IAudioSessionControl2*>(new Session(process_, keys_[index]));
        return S_OK;
    }

private:
    std::shared_ptr<AudioProcess> process_;
    std::vector<int> keys_;
};

class SessionManager final : public ComBase<IAudioSessionManager2>, EndpointPart {
public:
    using EndpointPart::EndpointPart;
    HRESULT STDMETHODCALLTYPE GetSessionEnumerator(IAudioSessionEnumerator** sessions) override
    {
        if (!sessions) return E_POINTER;
        std::vector<int> keys;
        const HRESULT hr = Read([&](AudioSystem& system, AudioEndpoint& e) {
            if (e.state != DEVICE_STATE_ACTIVE) return AUDCLNT_E_DEVICE_INVALIDATED;
            if (!system.serviceRunning) return AUDCLNT_E_SERVICE_NOT_RUNNING;
            for (const AudioSession& s : system.sessions)
                if (s.endpoint == endpoint_ && !s.expired) keys.push_back(s.key);
            return S_OK;
        });
        if (FAILED(hr)) return hr;
        return HandOut<SessionEnumerator>(sessions, process_, std::move(keys));
    }
    // This process's own session on the endpoint, opened on first use.
    HRESULT STDMETHODCALLTYPE GetAudioSessionControl(LPCGUID, DWORD,
                                                     IAudioSessionControl** session) override
    {
        if (!session) return E_POINTER;
        *session = nullptr;
        const int key = OwnSession();
        if (key < 0) return AUDCLNT_E_DEVICE_INVALIDATED;
        *session = static_cast<IAudioSessionControl2*>(new Session(process_, key));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSimpleAudioVolume(LPCGUID, DWORD,
                                                   ISimpleAudioVolume** volume) override
    {
        if (!volume) return E_POINTER;
        *volume = nullptr;
        const int key = OwnSession();
        if (key < 0) return AUDCLNT_E_DEVICE_INVALIDATED;
        *volume = new Session(process_, key);
        return S_OK;
    }
    // Sessions coming and going are not told.
    HRESULT STDMETHODCALLTYPE RegisterSessionNotification(IAudioSessionNotification* n) override
    {
        return n ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE UnregisterSessionNotification(IAudioSessionNotification* n) override
    {
        return n ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE RegisterDuckNotification(LPCWSTR,
                                                       IAudioVolumeDuckNotification*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterDuckNotification(IAudioVolumeDuckNotification*) override
    {
        return E_NOTIMPL;
    }

protected:
    void* Answer(REFIID iid) override
    {
        return IsEqualIID(iid, __uuidof(IAudioSessionManager))
                   ? static_cast<IAudioSessionManager*>(this)
                   : nullptr;
    }

private:
    int OwnSession()
    {
        int key = -1;
        const DWORD pid = GetCurrentProcessId();
        process_->Store().Write([&](AudioSystem& system) {
            if (system.endpoints.at(endpoint_).state != DEVICE_STATE_ACTIVE) return S_OK;
            for (const AudioSession& s : system.sessions)
                if (s.pid == pid && s.endpoint == endpoint_ && !s.expired) return key = s.key, S_OK;
            AudioSession s;
            s.key = key = system.nextSessionKey++;
            s.pid = pid;
            s.endpoint = endpoint_;
            system.sessions.push_back(s);
            return S_OK;
        });
        return key;
    }
};

class Device final : public ComBase<IMMDevice, IMMEndpoint>, EndpointPart {
public:
    using EndpointPart::EndpointPart;
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        const bool volume = IsEqualIID(iid, __uuidof(IAudioEndpointVolume));
        const bool sessions = IsEqualIID(iid, __uuidof(IAudioSessionManager)) ||
                              IsEqualIID(iid, __uuidof(IAudioSessionManager2));
        if (!volume && !sessions) return E_NOINTERFACE;
        int connection = 0;
        const HRESULT hr = Read([&](AudioSystem& system, AudioEndpoint& e) {
            if (e.state != DEVICE_STATE_ACTIVE) return AUDCLNT_E_DEVICE_INVALIDATED;
            if (!system.serviceRunning) return AUDCLNT_E_SERVICE_NOT_RUNNING;
            connection = e.connections;
            return e.activateResult;
        });
        if (FAILED(hr)) return hr;
        if (volume)
            return HandOut<EndpointVolume>(reinterpret_cast<IAudioEndpointVolume**>(object),
                                           process_, endpoint_, connection);
        auto manager = new SessionManager(process_, endpoint_);
        const HRESULT answer = manager->QueryInterface(iid, object);
        manager->Release();
        return answer;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** store) override
    {
        return HandOut<PropertyStore>(store, process_, endpoint_);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override
    {
        return Read([&](AudioSystem&, AudioEndpoint& e) { return GiveText(e.id, id); });
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override
    {
        if (!state) return E_POINTER;
        return Read([&](AudioSystem&, AudioEndpoint& e) { return *state = e.state, S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetDataFlow(EDataFlow* flow) override
    {
        if (!flow) return E_POINTER;
        return Read([&](AudioSystem&, AudioEndpoint& e) { return *flow = e.flow, S_OK; });
    }
};

class Collection final : public ComBase<IMMDeviceCollection> {
public:
    Collection(std::shared_ptr<AudioProcess> process, std::vector<int> listed)
        : process_(std::move(process)), listed_(std::move(listed))
    {
    }
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        return *count = static_cast<UINT>(listed_.size()), S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT i, IMMDevice** device) override
    {
        if (!device) return E_POINTER;
        *device = nullptr;
        if (i >= listed_.size()) return E_INVALIDARG;
        return process_->Device(process_, listed_[i], device);
    }

private:
    std::shared_ptr<AudioProcess> process_;
    std::vector<int> listed_;
};

class Enumerator final : public ComBase<IMMDeviceEnumerator> {
public:
    explicit Enumerator(std::shared_ptr<AudioProcess> process) : process_(std::move(process)) {}
    // The endpoints of the flow whose state is in the mask, in the system's order.
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD mask,
                                                 IMMDeviceCollection** devices) override
    {
        if (!devices) return E_POINTER;
        *devices = nullptr;
        if (flow < eRender || flow > eAll || mask == 0 || (mask & ~DEVICE_STATEMASK_ALL))
            return E_INVALIDARG;
        std::vector<int> listed;
        process_->Store().Read([&](AudioSystem& system) {
            system.flowAsked = flow;
            system.stateAsked = mask;
            for (size_t i = 0; i < system.endpoints.size(); ++i)
                if ((flow == eAll || system.endpoints[i].flow == flow) &&
                    (system.endpoints[i].state & mask))
                    listed.push_back(static_cast<int>(i));
            return S_OK;
        });
        return HandOut<Collection>(devices, process_, std::move(listed));
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role,
                                                      IMMDevice** device) override
    {
        if (!device) return E_POINTER;
        *device = nullptr;
        if ((flow != eRender && flow != eCapture) || role < eConsole || role >= ERole_enum_count)
            return E_INVALIDARG;
        int found = -1;
        process_->Store().Read([&](AudioSystem& system) {
            if (flow == eRender) system.roleAsked = role;
            found = system.Default(flow, role);
            return S_OK;
        });
        return found < 0 ? NotFound : process_->Device(process_, found, device);
    }
    // Any endpoint the system knows, gone or not; its state tells which.
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** device) override
    {
        if (!device) return E_POINTER;
        *device = nullptr;
        int found = -1;
        process_->Store().Read([&](AudioSystem& system) {
            for (size_t i = 0; id && i < system.endpoints.size() && found < 0; ++i)
                if (system.endpoints[i].id == id) found = static_cast<int>(i);
            return S_OK;
        });
        return found < 0 ? NotFound : process_->Device(process_, found, device);
    }
    HRESULT STDMETHODCALLTYPE
    RegisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        return process_->AddClient(client);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        return process_->RemoveClient(client);
    }

private:
    std::shared_ptr<AudioProcess> process_;
};

class PolicyConfig final : public ComBase<IPolicyConfig> {
public:
    explicit PolicyConfig(std::shared_ptr<AudioProcess> process) : process_(std::move(process)) {}
    HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR id, ERole role) override
    {
        if (!id) return E_POINTER;
        if (role < eConsole || role >= ERole_enum_count) return E_INVALIDARG;
        return process_->Store().Write([&](AudioSystem& system) {
            int found = -1;
            for (size_t i = 0; i < system.endpoints.size() && found < 0; ++i)
                if (system.endpoints[i].id == id) found = static_cast<int>(i);
            if (found < 0) return NotFound;
            if (system.endpoints[found].state != DEVICE_STATE_ACTIVE) return E_INVALIDARG;
            system.SetDefault(system.endpoints[found].flow, role, found);
            return S_OK;
        });
    }
    // The rest of the interface is not reproduced.
    HRESULT STDMETHODCALLTYPE GetMixFormat(PCWSTR, WAVEFORMATEX**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceFormat(PCWSTR, INT, WAVEFORMATEX**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ResetDeviceFormat(PCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDeviceFormat(PCWSTR, WAVEFORMATEX*, WAVEFORMATEX*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetProcessingPeriod(PCWSTR, INT, PINT64, PINT64) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetProcessingPeriod(PCWSTR, PINT64) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetShareMode(PCWSTR, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetShareMode(PCWSTR, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PCWSTR, const PROPERTYKEY&, PROPVARIANT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetPropertyValue(PCWSTR, const PROPERTYKEY&, PROPVARIANT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetEndpointVisibility(PCWSTR, INT) override { return E_NOTIMPL; }

private:
    std::shared_ptr<AudioProcess> process_;
};

// Wine's winmm registers a notification client of its own when it runs in
// the process, and cannot take a NULL id.
bool IsWinmms(IMMNotificationClient* client)
{
    HMODULE winmm = GetModuleHandleW(L"winmm.dll"), owner = nullptr;
    void* firstMethod = (*reinterpret_cast<void***>(client))[0];
    return winmm &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(firstMethod), &owner) &&
           owner == winmm;
}

}  // namespace

MemoryAudioStore::MemoryAudioStore(std::shared_ptr<AudioSystem> system) : system_(std::move(system))
{
    InitializeCriticalSection(&lock_);
}

MemoryAudioStore::~MemoryAudioStore() { DeleteCriticalSection(&lock_); }

HRESULT MemoryAudioStore::Access(const std::function<void(AudioSystem&)>& use, bool)
{
    CriticalSectionHold hold(lock_);
    use(*system_);
    return S_OK;
}

unsigned MemoryAudioStore::Stamp()
{
    CriticalSectionHold hold(lock_);
    return system_->changes;
}

AudioProcess::AudioProcess(std::unique_ptr<AudioStore> store, bool oneObjectPerEndpoint)
    : store_(std::move(store)), oneObjectPerEndpoint_(oneObjectPerEndpoint)
{
    InitializeCriticalSection(&lock_);
}

AudioProcess::~AudioProcess()
{
    if (watcher_) {
        SetEvent(stop_);
        WaitForSingleObject(watcher_, INFINITE);
        CloseHandle(watcher_);
        CloseHandle(stop_);
    }
    DeleteCriticalSection(&lock_);
}

HRESULT AudioProcess::Device(const std::shared_ptr<AudioProcess>& self, int endpoint,
                             IMMDevice** device)
{
    if (!oneObjectPerEndpoint_) return HandOut<::Device>(device, self, endpoint);
    CriticalSectionHold hold(lock_);
    ComPtr<IMMDevice>& kept = devices_[endpoint];
    if (!kept) kept.Attach(new ::Device(self, endpoint));
    return kept.CopyTo(device);
}

HRESULT AudioProcess::AddVolumeCallback(int endpoint, IAudioEndpointVolumeCallback* callback)
{
    if (!callback) return E_POINTER;
    {
        CriticalSectionHold hold(lock_);
        volumeCallbacks_.push_back({endpoint, callback});
    }
    store_->Write(
        [](AudioSystem& system) { return system.Register(GetCurrentProcessId(), 1, 0), S_OK; });
    StartWatching();
    return S_OK;
}

HRESULT AudioProcess::RemoveVolumeCallback(IAudioEndpointVolumeCallback* callback)
{
    if (!callback) return E_POINTER;
    {
        CriticalSectionHold hold(lock_);
        auto found =
            std::find_if(volumeCallbacks_.begin(), volumeCallbacks_.end(),
                         [&](const VolumeCallback& v) { return v.callback.Get() == callback; });
        if (found == volumeCallbacks_.end()) return E_INVALIDARG;
        volumeCallbacks_.erase(found);
    }
    store_->Write(
        [](AudioSystem& system) { return system.Register(GetCurrentProcessId(), -1, 0), S_OK; });
    return S_OK;
}

HRESULT AudioProcess::AddClient(IMMNotificationClient* client)
{
    if (!client) return E_POINTER;
    {
        CriticalSectionHold hold(lock_);
        clients_.push_back(client);
    }
    store_->Write(
        [](AudioSystem& system) { return system.Register(GetCurrentProcessId(), 0, 1), S_OK; });
    StartWatching();
    return S_OK;
}

HRESULT AudioProcess::RemoveClient(IMMNotificationClient* client)
{
    if (!client) return E_POINTER;
    {
        CriticalSectionHold hold(lock_);
        auto found =
            std::find_if(clients_.begin(), clients_.end(),
                         [&](const ComPtr<IMMNotificationClient>& c) { return c.Get() == client; });
        if (found == clients_.end()) return NotFound;
        clients_.erase(found);
    }
    store_->Write(
        [](AudioSystem& system) { return system.Register(GetCurrentProcessId(), 0, -1), S_OK; });
    return S_OK;
}

void AudioProcess::StartWatching()
{
    CriticalSectionHold hold(lock_);
    if (watcher_) return;
    store_->Read([&](AudioSystem& system) { return seen_ = system.changes, S_OK; });
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watcher_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

// Looks for changes every few milliseconds, as the file gives no signal.
DWORD WINAPI AudioProcess::Watch(void* self)
{
    auto process = static_cast<AudioProcess*>(self);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    while (WaitForSingleObject(process->stop_, 10) == WAIT_TIMEOUT)
        process->DeliverNew();
    CoUninitialize();
    return 0;
}

// Called without holding the store or the callback list, so that a callback
// may use the endpoints, register or unregister.
void AudioProcess::DeliverNew()
{
    std::vector<AudioEvent> fresh;
    std::vector<std::wstring> ids;
    store_->Read([&](AudioSystem& system) {
        if (system.changes == seen_) return S_OK;
        for (const AudioEvent& e : system.events)
            if (e.number > seen_ || system.changes < seen_) fresh.push_back(e);
        for (const AudioEndpoint& e : system.endpoints)
            ids.push_back(e.id);
        seen_ = system.changes;
        return S_OK;
    });
    for (const AudioEvent& e : fresh)
        Deliver(e, ids);
}

void AudioProcess::Deliver(const AudioEvent& event, const std::vector<std::wstring>& ids)
{
    std::vector<VolumeCallback> volumes;
    std::vector<ComPtr<IMMNotificationClient>> clients;
    {
        CriticalSectionHold hold(lock_);
        volumes = volumeCallbacks_;
        clients = clients_;
    }
    const wchar_t* id = event.endpoint >= 0 ? ids.at(event.endpoint).c_str() : nullptr;
    if (event.change == AudioChange::Volume) {
        struct {
            AUDIO_VOLUME_NOTIFICATION_DATA data;
            float second;  // the data's channel array has room for one
        } notice{{event.context, event.mute, event.level, 2, {event.level}}, event.level};
        for (const VolumeCallback& v : volumes)
            if (v.endpoint == event.endpoint) v.callback->OnNotify(&notice.data);
        return;
    }
    for (const ComPtr<IMMNotificationClient>& c : clients) {
        switch (event.change) {
        case AudioChange::State: c->OnDeviceStateChanged(id, event.state); break;
        case AudioChange::Added: c->OnDeviceAdded(id); break;
        default:
            if (id || !IsWinmms(c.Get())) c->OnDefaultDeviceChanged(event.flow, event.role, id);
        }
    }
}

ComPtr<IMMDeviceEnumerator> MakeAudioEnumerator(std::shared_ptr<AudioProcess> process)
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    enumerator.Attach(new Enumerator(std::move(process)));
    return enumerator;
}

ComPtr<IPolicyConfig> MakePolicyConfig(std::shared_ptr<AudioProcess> process)
{
    ComPtr<IPolicyConfig> config;
    config.Attach(new PolicyConfig(std::move(process)));
    return config;
}

long LiveAudioObjects() { return liveObjects; }
