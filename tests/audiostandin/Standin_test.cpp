// The stand-in as the product's tests lean on it, reached through the
// classes its prefix registers: a change another process makes reaches this
// one, callbacks run on a thread of the stand-in (never the caller's) with
// the writer's context, and an endpoint unplugged or the service stopped
// answer as Windows documents. Wine's winmm runs in the process too, as it
// does in the program's: it lists the stand-in's outputs, and lives through
// a change that leaves no default output.
#include <gtest/gtest.h>

#include <windows.h>
#include <audioclient.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>
#include <wrl/client.h>

#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// Runs audioctl.exe from beside this program to its end.
DWORD Audioctl(const std::wstring& arguments)
{
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::wstring command =
        L"\"" + path.substr(0, path.find_last_of(L'\\') + 1) + L"audioctl.exe\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return ~0u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// What the callbacks were called with last, and whether any ran on the
// thread that made the recorder.
class Recorder final : public IAudioEndpointVolumeCallback, public IMMNotificationClient {
public:
    struct Seen {
        float level = -1;
        BOOL muted = FALSE;
        GUID context = GUID_NULL;
        DWORD newState = 0;
        std::wstring defaultOutput = L"(none told)";
        bool onCallersThread = false;
    };
    Recorder() : called_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
        InitializeCriticalSection(&lock_);
    }
    ~Recorder()
    {
        DeleteCriticalSection(&lock_);
        CloseHandle(called_);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnNotify(AUDIO_VOLUME_NOTIFICATION_DATA* data) override
    {
        return Record([&](Seen& seen) {
            seen.level = data->fMasterVolume, seen.muted = data->bMuted;
            seen.context = data->guidEventContext;
        });
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD state) override
    {
        return Record([&](Seen& seen) { seen.newState = state; });
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                     LPCWSTR id) override
    {
        return Record([&](Seen& seen) {
            if (flow == eRender && role == eConsole) seen.defaultOutput = id ? id : L"";
        });
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override
    {
        return S_OK;
    }
    // Waits (bounded) until what was seen meets `wanted`.
    template <class Wanted>
    bool WaitFor(Wanted wanted)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
            if (wanted(Now())) return true;
            WaitForSingleObject(called_, 100);
        }
        return false;
    }
    Seen Now()
    {
        EnterCriticalSection(&lock_);
        Seen copy = seen_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    template <class Change>
    HRESULT Record(Change change)
    {
        EnterCriticalSection(&lock_);
        change(seen_);
        seen_.onCallersThread |= GetCurrentThreadId() == caller_;
        LeaveCriticalSection(&lock_);
        SetEvent(called_);
        return S_OK;
    }
    CRITICAL_SECTION lock_;
    Seen seen_;
    const DWORD caller_ = GetCurrentThreadId();
    HANDLE called_;
};

std::wstring IdOf(IMMDevice* device)
{
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id))) return {};
    std::wstring text(id);
    CoTaskMemFree(id);
    return text;
}

TEST(AudioStandin, ChangesReachEveryProcessOnAThreadOfItsOwn)
{
    ASSERT_EQ(0u, Audioctl(L"reset"));
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        ComPtr<IMMDeviceEnumerator> enumerator;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr,
                                                  CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&enumerator)));
        ComPtr<IMMDevice> speakers, again;
        ComPtr<IAudioEndpointVolume> volume, other;
        ASSERT_HRESULT_SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &speakers));
        ASSERT_HRESULT_SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &again));
        EXPECT_EQ(speakers.Get(), again.Get());  // one object per endpoint, as winmm needs
        ASSERT_HRESULT_SUCCEEDED(
            speakers->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
        EXPECT_EQ(2u, waveOutGetNumDevs());
        Recorder recorder;
        ASSERT_HRESULT_SUCCEEDED(volume->RegisterControlChangeNotify(&recorder));
        ASSERT_HRESULT_SUCCEEDED(enumerator->RegisterEndpointNotificationCallback(&recorder));

        // Another program sets the level: told here, on another thread.
        using Seen = Recorder::Seen;
        ASSERT_EQ(0u, Audioctl(L"level Speakers 0.25"));
        ASSERT_TRUE(recorder.WaitFor([](const Seen& s) { return s.level == 0.25f; }));
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, recorder.Now().context));
        float level = 0;
        EXPECT_HRESULT_SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level));
        EXPECT_EQ(0.25f, level);

        // This process mutes: told here too, with its context; again: S_FALSE.
        const GUID mine = {0x1234, 0x5678, 0x9abc, {1, 2, 3, 4, 5, 6, 7, 8}};
        EXPECT_EQ(S_OK, volume->SetMute(TRUE, &mine));
        EXPECT_EQ(S_FALSE, volume->SetMute(TRUE, &mine));
        ASSERT_TRUE(recorder.WaitFor([](const Seen& s) { return s.muted == TRUE; }));
        EXPECT_TRUE(IsEqualGUID(mine, recorder.Now().context));

        // Unplugged: the default moves to the headphones, the old control is invalid.
        ASSERT_EQ(0u, Audioctl(L"unplug Speakers"));
        ComPtr<IMMDevice> headphones;
        ASSERT_HRESULT_SUCCEEDED(
            enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &headphones));
        const std::wstring moved = IdOf(headphones.Get());
        ASSERT_TRUE(recorder.WaitFor([&](const Seen& s) {
            return s.newState == DEVICE_STATE_UNPLUGGED && s.defaultOutput == moved;
        }));
        EXPECT_EQ(AUDCLNT_E_DEVICE_INVALIDATED, volume->GetMasterVolumeLevelScalar(&level));
        EXPECT_EQ(AUDCLNT_E_DEVICE_INVALIDATED,
                  speakers->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &other));

        // No output left: told with a NULL id (winmm's own client is spared it).
        ASSERT_EQ(0u, Audioctl(L"unplug Headphones"));
        ASSERT_TRUE(recorder.WaitFor([](const Seen& s) { return s.defaultOutput.empty(); }));
        EXPECT_FALSE(recorder.Now().onCallersThread);

        ASSERT_EQ(0u, Audioctl(L"plug Headphones"));
        ASSERT_TRUE(recorder.WaitFor([&](const Seen& s) { return s.defaultOutput == moved; }));
        ASSERT_EQ(0u, Audioctl(L"service stop"));
        EXPECT_EQ(
            AUDCLNT_E_SERVICE_NOT_RUNNING,
            headphones->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &other));
        EXPECT_HRESULT_SUCCEEDED(volume->UnregisterControlChangeNotify(&recorder));
        EXPECT_HRESULT_SUCCEEDED(enumerator->UnregisterEndpointNotificationCallback(&recorder));
    }
    CoUninitialize();
    EXPECT_EQ(0u, Audioctl(L"reset"));
}

}  // namespace
