#include "AudioSystem.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t KeptEvents = 256;
constexpr unsigned FileVersion = 1;

class Writer {
public:
    template <class T>
    void Put(const T& value)
    {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void Put(const std::wstring& text)
    {
        Put(static_cast<unsigned>(text.size()));
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }
    std::string bytes;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    template <class T>
    void Get(T& value)
    {
        Take(&value, sizeof value);  // a short file fails the whole load
    }
    void Get(std::wstring& text)
    {
        unsigned size = 0;
        Get(size);
        if (size > 4096) failed = true;
        if (failed) return;
        text.resize(size);
        Take(&text[0], size * sizeof(wchar_t));
    }
    bool failed = false;

private:
    bool Take(void* out, size_t size)
    {
        if (failed || bytes_.size() - at_ < size) return !(failed = true);
        memcpy(out, bytes_.data() + at_, size);
        at_ += size;
        return true;
    }
    const std::string& bytes_;
    size_t at_ = 0;
};

// One list of the fields the file keeps, for both directions.
template <class Stream>
void Fields(Stream& s, AudioEndpoint& e)
{
    s.Put(e.id), s.Put(e.name), s.Put(e.state), s.Put(e.flow), s.Put(e.connections), s.Put(e.level),
        s.Put(e.mute), s.Put(e.stepCount);
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], size, nullptr, nullptr);
    result.resize(size - 1);
    return result;
}

const char* FlowName(EDataFlow flow) { return flow == eCapture ? "capture" : "render"; }

const char* StateName(DWORD state)
{
    switch (state) {
    case DEVICE_STATE_ACTIVE: return "active";
    case DEVICE_STATE_DISABLED: return "disabled";
    case DEVICE_STATE_NOTPRESENT: return "notpresent";
    default: return "unplugged";
    }
}

AudioEndpoint StartEndpoint(const wchar_t* id, const wchar_t* name, EDataFlow flow)
{
    AudioEndpoint e;
    e.id = id;
    e.name = name;
    e.flow = flow;
    e.stepCount = 51;  // Windows' software volume: steps of 2 %
    return e;
}

}  // namespace

// The writer's side and the reader's side of Fields.
struct ReadFields {
    Reader& r;
    template <class T>
    void Put(T& value)
    {
        r.Get(value);
    }
};

int AudioSystem::Default(EDataFlow flow, ERole role) const
{
    if (flow != eRender && flow != eCapture) return -1;
    if (role < eConsole || role >= ERole_enum_count) return -1;
    const int index = defaults[flow][role];
    if (index < 0 || index >= static_cast<int>(endpoints.size())) return -1;
    const AudioEndpoint& e = endpoints[index];
    return e.state == DEVICE_STATE_ACTIVE && e.flow == flow ? index : -1;
}

int AudioSystem::Find(const std::wstring& idOrName) const
{
    for (size_t i = 0; i < endpoints.size(); ++i)
        if (endpoints[i].id == idOrName) return static_cast<int>(i);
    for (size_t i = 0; i < endpoints.size(); ++i)
        if (lstrcmpiW(endpoints[i].name.c_str(), idOrName.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

AudioSession* AudioSystem::Session(int key)
{
    for (AudioSession& s : sessions)
        if (s.key == key) return &s;
    return nullptr;
}

HRESULT AudioSystem::SetLevel(int endpoint, float level, LPCGUID context)
{
    AudioEndpoint& e = endpoints.at(endpoint);
    e.levelsSet.push_back(level);
    if (FAILED(e.setLevelResult)) return e.setLevelResult;
    if (!(level >= 0 && level <= 1)) return E_INVALIDARG;
    if (e.ignoresWrites) return S_OK;
    const float kept = e.quantum > 0 ? std::floor(level / e.quantum) * e.quantum : level;
    if (kept == e.level) return S_OK;
    e.level = kept;
    Log({0, AudioChange::Volume, endpoint, e.flow, eConsole, context ? *context : GUID_NULL,
         e.level, e.mute, e.state});
    return S_OK;
}

HRESULT AudioSystem::SetMute(int endpoint, BOOL mute, LPCGUID context)
{
    AudioEndpoint& e = endpoints.at(endpoint);
    mute = mute ? TRUE : FALSE;
    if (e.mute == mute) return S_FALSE;
    e.mute = mute;
    Log({0, AudioChange::Volume, endpoint, e.flow, eConsole, context ? *context : GUID_NULL,
         e.level, e.mute, e.state});
    return S_OK;
}

void AudioSystem::SetState(int endpoint, DWORD state)
{
    AudioEndpoint& e = endpoints.at(endpoint);
    if (e.state == state) return;
    const bool back = state == DEVICE_STATE_ACTIVE;
    e.state = state;
    if (back) ++e.connections;
    Log({0, AudioChange::State, endpoint, e.flow, eConsole, GUID_NULL, 0, FALSE, state});
    for (int role = 0; role < ERole_enum_count; ++role) {
        int& current = defaults[e.flow][role];
        if (back && Default(e.flow, static_cast<ERole>(role)) < 0) {
            SetDefault(e.flow, static_cast<ERole>(role), endpoint);
        } else if (!back && current == endpoint) {
            int next = -1;
            for (size_t i = 0; i < endpoints.size() && next < 0; ++i)
                if (endpoints[i].flow == e.flow && endpoints[i].state == DEVICE_STATE_ACTIVE)
                    next = static_cast<int>(i);
            SetDefault(e.flow, static_cast<ERole>(role), next);
        }
    }
}

void AudioSystem::SetDefault(EDataFlow flow, ERole role, int endpoint)
{
    if (defaults[flow][role] == endpoint) return;
    defaults[flow][role] = endpoint;
    Log({0, AudioChange::Default, endpoint, flow, role, GUID_NULL, 0, FALSE, 0});
}

void AudioSystem::SetDefaults(EDataFlow flow, int endpoint)
{
    for (int role = 0; role < ERole_enum_count; ++role)
        SetDefault(flow, static_cast<ERole>(role), endpoint);
}

int AudioSystem::Add(AudioEndpoint endpoint)
{
    endpoints.push_back(std::move(endpoint));
    const int index = static_cast<int>(endpoints.size()) - 1;
    Log({0, AudioChange::Added, index, endpoints.back().flow, eConsole, GUID_NULL, 0, FALSE,
         endpoints.back().state});
    return index;
}

void AudioSystem::Register(DWORD pid, int volumeCallbacks, int notificationClients)
{
    for (AudioRegistrations& r : registrations)
        if (r.pid == pid) {
            r.volumeCallbacks += volumeCallbacks;
            r.notificationClients += notificationClients;
            return;
        }
    registrations.push_back({pid, volumeCallbacks, notificationClients});
}

void AudioSystem::Log(AudioEvent event)
{
    event.number = ++changes;
    events.push_back(event);
    if (events.size() > KeptEvents) events.erase(events.begin());
}

std::string AudioSystem::Save() const
{
    Writer w;
    w.Put(FileVersion);
    w.Put(static_cast<unsigned>(endpoints.size()));
    for (AudioEndpoint e : endpoints)
        Fields(w, e);
    w.Put(defaults);
    w.Put(static_cast<unsigned>(sessions.size()));
    for (const AudioSession& s : sessions) {
        w.Put(s.key), w.Put(s.pid), w.Put(s.endpoint), w.Put(s.name), w.Put(s.level);
        w.Put(s.mute), w.Put(s.expired);
    }
    w.Put(static_cast<unsigned>(registrations.size()));
    for (const AudioRegistrations& r : registrations)
        w.Put(r);
    w.Put(serviceRunning), w.Put(changes), w.Put(nextSessionKey);
    w.Put(static_cast<unsigned>(events.size()));
    for (const AudioEvent& e : events)
        w.Put(e);
    return w.bytes;
}

bool AudioSystem::Load(const std::string& bytes)
{
    Reader r(bytes);
    ReadFields f{r};
    unsigned version = 0, count = 0;
    r.Get(version);
    if (version != FileVersion) return false;
    r.Get(count);
    endpoints.assign(r.failed || count > 64 ? 0 : count, AudioEndpoint());
    for (AudioEndpoint& e : endpoints)
        Fields(f, e);
    r.Get(defaults);
    r.Get(count);
    sessions.assign(r.failed || count > 256 ? 0 : count, AudioSession());
    for (AudioSession& s : sessions) {
        r.Get(s.key), r.Get(s.pid), r.Get(s.endpoint), r.Get(s.name), r.Get(s.level);
        r.Get(s.mute), r.Get(s.expired);
    }
    r.Get(count);
    registrations.assign(r.failed || count > 256 ? 0 : count, AudioRegistrations());
    for (AudioRegistrations& reg : registrations)
        r.Get(reg);
    r.Get(serviceRunning), r.Get(changes), r.Get(nextSessionKey);
    r.Get(count);
    events.assign(r.failed || count > KeptEvents ? 0 : count, AudioEvent());
    for (AudioEvent& e : events)
        r.Get(e);
    return !r.failed;
}

AudioSystem StandinStartState()
{
    AudioSystem system;
    system.endpoints = {StartEndpoint(L"{0.0.0.00000000}.{5b1c6f41-7d2a-4c4e-9a51-1b0e5c6a0001}",
                                      L"Speakers", eRender),
                        StartEndpoint(L"{0.0.0.00000000}.{5b1c6f41-7d2a-4c4e-9a51-1b0e5c6a0002}",
                                      L"Headphones", eRender),
                        StartEndpoint(L"{0.0.1.00000000}.{5b1c6f41-7d2a-4c4e-9a51-1b0e5c6a0003}",
                                      L"Microphone", eCapture),
                        StartEndpoint(L"{0.0.1.00000000}.{5b1c6f41-7d2a-4c4e-9a51-1b0e5c6a0004}",
                                      L"Webcam Microphone", eCapture)};
    system.SetDefaults(eRender, 0);
    system.SetDefaults(eCapture, 2);
    system.events.clear();
    system.changes = 0;
    return system;
}

std::string DescribeAudioSystem(const AudioSystem& system)
{
    std::string text = system.serviceRunning ? "service running\n" : "service stopped\n";
    char line[512];
    for (size_t i = 0; i < system.endpoints.size(); ++i) {
        const AudioEndpoint& e = system.endpoints[i];
        static const char* const roleNames[] = {"console", "multimedia", "communications"};
        std::string roles;
        for (int role = 0; role < ERole_enum_count; ++role)
            if (system.defaults[e.flow][role] == static_cast<int>(i))
                roles += (roles.empty() ? "" : ",") + std::string(roleNames[role]);
        snprintf(line, sizeof line,
                 "endpoint id=\"%s\" name=\"%s\" flow=%s state=%s level=%.6f mute=%d "
                 "default=%s\n",
                 Utf8(e.id).c_str(), Utf8(e.name).c_str(), FlowName(e.flow), StateName(e.state),
                 e.level, e.mute ? 1 : 0, roles.empty() ? "-" : roles.c_str());
        text += line;
    }
    for (const AudioSession& s : system.sessions) {
        snprintf(line, sizeof line,
                 "session key=%d pid=%lu endpoint=\"%s\" name=\"%s\" level=%.6f mute=%d "
                 "state=%s\n",
                 s.key, static_cast<unsigned long>(s.pid),
                 Utf8(system.endpoints.at(s.endpoint).id).c_str(), Utf8(s.name).c_str(), s.level,
                 s.mute ? 1 : 0, s.expired ? "expired" : "active");
        text += line;
    }
    for (const AudioRegistrations& r : system.registrations) {
        snprintf(line, sizeof line, "registrations pid=%lu volume=%d clients=%d\n",
                 static_cast<unsigned long>(r.pid), r.volumeCallbacks, r.notificationClients);
        text += line;
    }
    snprintf(line, sizeof line, "changes %u\n", system.changes);
    return text + line;
}
