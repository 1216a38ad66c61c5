// audioctl.exe: "another program" that changes the stand-in's audio system
// as the media keys, the volume flyout, a call program or a headset plugged
// in would, and prints it for the tests. The commands are listed in the
// folder's README.md. Exit code 0: done; 2: a wrong command or an unknown
// endpoint; 1: Windows refused (a registry write).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "AudioObjects.h"
#include "FileStore.h"
#include "common/Owned.h"

namespace {

using Args = std::vector<std::wstring>;

const wchar_t* const EnumeratorKey =
    L"Software\\Classes\\CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}";
const wchar_t* const PolicyConfigKey =
    L"Software\\Classes\\CLSID\\{870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}";

int Usage()
{
    fprintf(stderr, "audioctl: unknown command or endpoint (see tests/audiostandin/README.md)\n");
    return 2;
}

// Runs `use` on the state and keeps what it changed; a state that could not
// be kept ends the program with exit code 1.
template <class Use>
void Change(Use use)
{
    const HRESULT hr = FileAudioStore().Write(use);
    if (FAILED(hr)) {
        fprintf(stderr, "audioctl: the audio state could not be kept (0x%08lx)\n",
                static_cast<unsigned long>(hr));
        ExitProcess(1);
    }
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The class served by audiostandin.dll beside this program, for every
// thread model.
int RegisterClass(const wchar_t* classKey)
{
    wchar_t self[MAX_PATH];
    const DWORD size = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll(self, size);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"audiostandin.dll";
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(classKey) + L"\\InprocServer32").c_str(),
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) != ERROR_SUCCESS)
        return 1;
    Owned<HKEY, RegCloseKey> key(opened);
    return SetText(key.get(), nullptr, dll) && SetText(key.get(), L"ThreadingModel", L"Both") ? 0
                                                                                              : 1;
}

// The registrations of processes that ended without taking them back.
void ForgetEnded(std::vector<AudioRegistrations>& registrations)
{
    std::vector<AudioRegistrations> kept;
    for (const AudioRegistrations& r : registrations) {
        Owned<HANDLE, CloseHandle> process(OpenProcess(SYNCHRONIZE, FALSE, r.pid));
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT &&
            (r.volumeCallbacks || r.notificationClients))
            kept.push_back(r);
    }
    registrations = kept;
}

float Number(const std::wstring& text) { return static_cast<float>(_wtof(text.c_str())); }
bool On(const std::wstring& text) { return text == L"on" || text == L"1"; }

// Runs `change` on the endpoint named by args[1] (id, friendly name, or
// "default": the default output).
template <class Action>
int OnEndpoint(const Args& args, Action change)
{
    if (args.size() < 2) return Usage();
    int result = 2;
    Change([&](AudioSystem& system) {
        const int found =
            args[1] == L"default" ? system.Default(eRender, eConsole) : system.Find(args[1]);
        if (found >= 0) result = 0, change(system, found);
        return S_OK;
    });
    return result == 0 ? 0 : Usage();
}

int SetDefault(const Args& args)
{
    static const wchar_t* const roles[] = {L"console", L"multimedia", L"communications"};
    const std::wstring role = args.size() > 2 ? args[2] : L"all";
    return OnEndpoint(args, [&](AudioSystem& system, int endpoint) {
        for (int r = 0; r < ERole_enum_count; ++r)
            if (role == L"all" || role == roles[r])
                system.SetDefault(system.endpoints[endpoint].flow, static_cast<ERole>(r), endpoint);
    });
}

// session PID NAME LEVEL MUTE [ENDPOINT]: prints the new session's key.
int AddSession(const Args& args)
{
    if (args.size() < 5) return Usage();
    AudioSession session;
    session.pid = static_cast<DWORD>(_wtol(args[1].c_str()));
    session.name = args[2];
    session.level = Number(args[3]);
    session.mute = On(args[4]);
    int result = 2;
    Change([&](AudioSystem& system) {
        session.endpoint =
            args.size() > 5 ? system.Find(args[5]) : system.Default(eRender, eConsole);
        if (session.endpoint < 0) return S_OK;
        session.key = system.nextSessionKey++;
        system.sessions.push_back(session);
        printf("session %d\n", session.key);
        return result = 0, S_OK;
    });
    return result == 0 ? 0 : Usage();
}

int EndSession(const Args& args)
{
    if (args.size() < 2) return Usage();
    int result = 2;
    Change([&](AudioSystem& system) {
        AudioSession* session = system.Session(_wtoi(args[1].c_str()));
        if (session) session->expired = true, result = 0;
        return S_OK;
    });
    return result == 0 ? 0 : Usage();
}

int AddEndpoint(const Args& args)
{
    if (args.size() < 3) return Usage();
    AudioEndpoint endpoint;
    endpoint.name = args[1];
    endpoint.flow = args[2] == L"capture" ? eCapture : eRender;
    endpoint.stepCount = 51;
    Change([&](AudioSystem& system) {
        wchar_t id[80];
        swprintf(id, 80, L"{0.0.%d.00000000}.{5b1c6f41-7d2a-4c4e-9a51-1b0e5c6a%04x}",
                 endpoint.flow == eCapture ? 1 : 0,
                 static_cast<unsigned>(system.endpoints.size() + 1));
        endpoint.id = id;
        system.Add(endpoint);
        return S_OK;
    });
    return 0;
}

int Run(const Args& args)
{
    const std::wstring command = args.empty() ? L"" : args[0];
    const std::wstring value = args.size() > 2 ? args[2] : L"";
    if (command == L"state") {
        Change([](AudioSystem& system) {
            ForgetEnded(system.registrations);
            return fputs(DescribeAudioSystem(system).c_str(), stdout), S_OK;
        });
        return 0;
    }
    if (command == L"reset") {
        Change([](AudioSystem& system) {
            AudioSystem fresh = StandinStartState();
            fresh.changes = system.changes;  // the watchers' count goes on
            fresh.registrations = system.registrations;
            return system = fresh, S_OK;
        });
        return 0;
    }
    if (command == L"level" && args.size() > 2)
        return OnEndpoint(args, [&](AudioSystem& system, int endpoint) {
            system.SetLevel(endpoint, Number(value), nullptr);
        });
    if (command == L"mute" && args.size() > 2)
        return OnEndpoint(args, [&](AudioSystem& system, int endpoint) {
            system.SetMute(endpoint, On(value), nullptr);
        });
    if (command == L"mute-mics" && args.size() > 1) {
        Change([&](AudioSystem& system) {
            for (size_t i = 0; i < system.endpoints.size(); ++i)
                if (system.endpoints[i].flow == eCapture)
                    system.SetMute(static_cast<int>(i), On(args[1]), nullptr);
            return S_OK;
        });
        return 0;
    }
    if (command == L"unplug" || command == L"plug")
        return OnEndpoint(args, [&](AudioSystem& system, int endpoint) {
            system.SetState(endpoint,
                            command == L"plug" ? DEVICE_STATE_ACTIVE : DEVICE_STATE_UNPLUGGED);
        });
    if (command == L"default") return SetDefault(args);
    if (command == L"add") return AddEndpoint(args);
    if (command == L"session") return AddSession(args);
    if (command == L"end-session") return EndSession(args);
    if (command == L"service" && args.size() > 1) {
        Change(
            [&](AudioSystem& system) { return system.serviceRunning = args[1] == L"start", S_OK; });
        return 0;
    }
    if (command == L"policyconfig" && args.size() > 1) {
        if (args[1] == L"on") return RegisterClass(PolicyConfigKey);
        const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, PolicyConfigKey);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 0 : 1;
    }
    if (command == L"install") return RegisterClass(EnumeratorKey) | RegisterClass(PolicyConfigKey);
    return Usage();
}

}  // namespace

int main()
{
    int count = 0;
    Owned<LPWSTR*, LocalFree> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) return 1;
    return Run(Args(argv.get() + 1, argv.get() + count));
}
