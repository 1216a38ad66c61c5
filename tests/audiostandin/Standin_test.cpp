// The stand-in as the product's tests lean on it, reached through the
// classes its prefix registers: a change another process makes reaches this
// one, callbacks run on a thread of the stand-in (never the caller's) with
// the writer's context, and an endpoint unplugged or the service stopped
// answer as Windows documents.
#include <gtest/gtest.h>

#include <windows.h>
#include <audioclient.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
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

// What the callbacks were called with last, and on which thread.
class Recorder final : public IAudioEndpointVolumeCallback, public IMMNotificationClient {
public:
    Recorder() : called_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Recorder() { CloseHandle(called_); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnNotify(AUDIO_VOLUME_NOTIFICATION_DATA* data) override
    {
        level = data->fMasterVolume, muted = data->bMuted, context = data->guidEventContext;
        return Called(L"volume");
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override
    {
        changed = id, newState = state;
        return Called(L"state");
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                     LPCWSTR id) override
    {
        if (flow == eRender && role == eConsole) defaultOutput = id ? id : L"";
        return Called(L"default");
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override
    {
        return S_OK;
    }
    // Waits (bounded) for a call of `kind` since the last wait.
    bool Wait(const wchar_t* kind)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
            WaitForSingleObject(called_, 100);
            if (kinds.find(kind) != std::wstring::npos) return kinds.clear(), true;
        }
        return false;
    }

    float level = -1;
    BOOL muted = FALSE;
    GUID context = GUID_NULL;
    std::wstring changed, defaultOutput, kinds;
    DWORD newState = 0, thread = 0;

private:
    HRESULT Called(const wchar_t* kind)
    {
        kinds += kind, thread = GetCurrentThreadId();
        SetEvent(called_);
        return S_OK;
    }
    HANDLE called_;
};

TEST(AudioStandin, ChangesReachEveryProcessOnAThreadOfItsOwn)
{
    ASSERT_EQ(0u, Audioctl(L"reset"));
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        ComPtr<IMMDeviceEnumerator> enumerator;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr,
                                                  CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&enumerator)));
        ComPtr<IMMDevice> speakers, again;
        ComPtr<IAudioEndpointVolume> volume;
        ASSERT_HRESULT_SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &speakers));
        ASSERT_HRESULT_SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &again));
        EXPECT_EQ(speakers.Get(), again.Get());  // one object per endpoint, as winmm needs
        ASSERT_HRESULT_SUCCEEDED(
            speakers->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
        Recorder recorder;
        ASSERT_HRESULT_SUCCEEDED(volume->RegisterControlChangeNotify(&recorder));
        ASSERT_HRESULT_SUCCEEDED(enumerator->RegisterEndpointNotificationCallback(&recorder));

        // Another program sets the level: told here, on another thread.
        ASSERT_EQ(0u, Audioctl(L"level Speakers 0.25"));
        ASSERT_TRUE(recorder.Wait(L"volume"));
        EXPECT_EQ(0.25f, recorder.level);
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, recorder.context));
        EXPECT_NE(GetCurrentThreadId(), recorder.thread);
        float level = 0;
        EXPECT_HRESULT_SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level));
        EXPECT_EQ(0.25f, level);

        // This process mutes: told here too, with its context; again: S_FALSE.
        const GUID mine = {0x1234, 0x5678, 0x9abc, {1, 2, 3, 4, 5, 6, 7, 8}};
        EXPECT_EQ(S_OK, volume->SetMute(TRUE, &mine));
        EXPECT_EQ(S_FALSE, volume->SetMute(TRUE, &mine));
        ASSERT_TRUE(recorder.Wait(L"volume"));
        EXPECT_TRUE(recorder.muted);
        EXPECT_TRUE(IsEqualGUID(mine, recorder.context));
        EXPECT_NE(GetCurrentThreadId(), recorder.thread);

        // Unplugged: the default moves to the headphones, the old control is invalid.
        ASSERT_EQ(0u, Audioctl(L"unplug Speakers"));
        ASSERT_TRUE(recorder.Wait(L"default"));
        EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_UNPLUGGED), recorder.newState);
        ComPtr<IMMDevice> headphones;
        ASSERT_HRESULT_SUCCEEDED(
            enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &headphones));
        LPWSTR id = nullptr;
        ASSERT_HRESULT_SUCCEEDED(headphones->GetId(&id));
        EXPECT_EQ(std::wstring(id), recorder.defaultOutput);
        CoTaskMemFree(id);
        EXPECT_EQ(AUDCLNT_E_DEVICE_INVALIDATED, volume->GetMasterVolumeLevelScalar(&level));
        EXPECT_EQ(AUDCLNT_E_DEVICE_INVALIDATED,
                  speakers->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));

        ASSERT_EQ(0u, Audioctl(L"service stop"));
        EXPECT_EQ(
            AUDCLNT_E_SERVICE_NOT_RUNNING,
            headphones->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
        EXPECT_HRESULT_SUCCEEDED(enumerator->UnregisterEndpointNotificationCallback(&recorder));
    }
    CoUninitialize();
    EXPECT_EQ(0u, Audioctl(L"reset"));
}

}  // namespace
