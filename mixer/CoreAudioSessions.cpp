// The audio sessions of Core Audio for a program's volume: those of every
// active output, each with its process, its level (ISimpleAudioVolume) and
// its mute.
#include "CoreAudioBackend.h"

#include <audiopolicy.h>
#include <windows.h>

#include "VolumeScale.h"
#include "common/Owned.h"

using Microsoft::WRL::ComPtr;

namespace {

class CoreAudioSession final : public AppSession {
public:
    CoreAudioSession(uint32_t process, ComPtr<ISimpleAudioVolume> volume)
        : process_(process), volume_(std::move(volume))
    {
    }

    uint32_t Process() const override { return process_; }

    uint16_t Level() override
    {
        float level = 0;
        Check(volume_->GetMasterVolume(&level), "Reading a program's volume failed.");
        return VolumeFromScalar(level);
    }

    void SetLevel(uint16_t level) override
    {
        // Exact, not held to the window's percent as an output's level is:
        // each session steps from its own level, and a step must not lose
        // the part of a percent the session had.
        const float scalar = static_cast<float>(level / double{FullVolume});
        Check(volume_->SetMasterVolume(scalar, nullptr), "Setting a program's volume failed.");
    }

    bool Muted() override
    {
        BOOL muted = FALSE;
        Check(volume_->GetMute(&muted), "Reading a program's mute state failed.");
        return muted != FALSE;
    }

    void SetMuted(bool muted) override
    {
        Check(volume_->SetMute(muted ? TRUE : FALSE, nullptr),
              "Setting a program's mute state failed.");
    }

private:
    static void Check(HRESULT hr, const char* what)
    {
        if (FAILED(hr)) throw MixerError(hr, what);
    }

    uint32_t process_;
    ComPtr<ISimpleAudioVolume> volume_;
};

using Sessions = std::vector<std::unique_ptr<AppSession>>;

// The session's process, 0 for the system's sounds; false for a session that
// has ended or cannot be reached.
bool SessionProcess(IAudioSessionControl* control, uint32_t& process)
{
    AudioSessionState state = AudioSessionStateExpired;
    if (FAILED(control->GetState(&state)) || state == AudioSessionStateExpired) return false;
    ComPtr<IAudioSessionControl2> control2;
    if (FAILED(control->QueryInterface(IID_PPV_ARGS(&control2)))) return false;
    DWORD id = 0;
    // AUDCLNT_S_NO_SINGLE_PROCESS still names the process that opened it.
    if (FAILED(control2->GetProcessId(&id))) return false;
    process = control2->IsSystemSoundsSession() == S_OK ? 0 : id;
    return true;
}

// The sessions of one output; an output that fails (gone, no session
// manager) adds none.
void AddSessions(IMMDevice* device, Sessions& sessions)
{
    ComPtr<IAudioSessionManager2> manager;
    ComPtr<IAudioSessionEnumerator> list;
    int count = 0;
    if (FAILED(device->Activate(__uuidof(IAudioSessionManager2), CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(manager.GetAddressOf()))) ||
        !manager || FAILED(manager->GetSessionEnumerator(&list)) || !list ||
        FAILED(list->GetCount(&count)))
        return;
    for (int i = 0; i < count; ++i) {
        ComPtr<IAudioSessionControl> control;
        ComPtr<ISimpleAudioVolume> volume;
        uint32_t process = 0;
        // The session's control object also answers for its volume.
        if (FAILED(list->GetSession(i, &control)) || !control ||
            !SessionProcess(control.Get(), process) ||
            FAILED(control->QueryInterface(IID_PPV_ARGS(&volume))))
            continue;
        sessions.push_back(std::make_unique<CoreAudioSession>(process, std::move(volume)));
    }
}

// QueryFullProcessImageNameW is Vista's: looked up, so that the DLL still
// loads on Windows XP, which takes the winmm path and never asks.
std::wstring ImagePath(HANDLE process)
{
    using Query = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    std::wstring path(1024, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!query || !query(process, 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

class CoreAudioSessions final : public AppSessions {
public:
    explicit CoreAudioSessions(ComPtr<IMMDeviceEnumerator> enumerator)
        : enumerator_(std::move(enumerator))
    {
    }

    Sessions List() override
    {
        Sessions sessions;
        ComPtr<IMMDeviceCollection> outputs;
        UINT count = 0;
        CheckAudioCall(enumerator_->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &outputs),
                       "Listing the outputs failed.");
        if (FAILED(outputs->GetCount(&count))) return sessions;
        for (UINT i = 0; i < count; ++i) {
            ComPtr<IMMDevice> device;
            if (SUCCEEDED(outputs->Item(i, &device)) && device) AddSessions(device.Get(), sessions);
        }
        return sessions;
    }

    std::wstring ProgramPath(uint32_t process) override
    {
        Owned<HANDLE, CloseHandle> handle(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
        return handle ? ImagePath(handle.get()) : std::wstring();
    }

    std::wstring Description(const std::wstring& path) override
    {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) return {};
        std::vector<char> data(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
        // The first language the file lists, as Explorer shows it.
        const WORD* languages = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(const_cast<WORD**>(&languages)), &length) ||
            length < 2 * sizeof(WORD))
            return {};
        wchar_t key[64];
        wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription", languages[0], languages[1]);
        wchar_t* text = nullptr;
        if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&text), &length) || !text)
            return {};
        std::wstring description(text, lstrlenW(text));
        while (!description.empty() && description.back() == L' ')
            description.pop_back();
        return description;
    }

private:
    ComPtr<IMMDeviceEnumerator> enumerator_;
};

}  // namespace

std::unique_ptr<AppSessions> CoreAudioBackend::OpenSessions()
{
    return std::make_unique<CoreAudioSessions>(enumerator_);
}
