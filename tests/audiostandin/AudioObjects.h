#pragma once
// Core Audio's objects as Microsoft documents them, over one AudioSystem:
// IMMDeviceEnumerator, IMMDeviceCollection, IMMDevice with IMMEndpoint,
// IPropertyStore (the friendly name), IAudioEndpointVolume,
// IAudioSessionManager2 with its enumerator, IAudioSessionControl2 with
// ISimpleAudioVolume, and the PolicyConfig class's IPolicyConfig. The
// in-process tests give them a system in memory; the stand-in DLL gives them
// the file every process of the Wine prefix shares.
#include <windows.h>
#include <audioclient.h>
#include <audiopolicy.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <propsys.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "AudioSystem.h"

// Where the system lives, and the one way to reach it: `use` runs with every
// other user kept out. With `keep` false what it changed may be lost (the
// file store does not write it back); with `keep` true, the failure to keep
// it is answered.
class AudioStore {
public:
    virtual ~AudioStore() = default;
    virtual HRESULT Access(const std::function<void(AudioSystem&)>& use, bool keep) = 0;
    // A number that moves when a change is logged, cheap to read: the
    // watchers read the system only when it moved.
    virtual unsigned Stamp() = 0;

    template <class Use>
    HRESULT Read(Use use)
    {
        HRESULT hr = E_UNEXPECTED;
        Access([&](AudioSystem& system) { hr = use(system); }, false);
        return hr;
    }
    template <class Use>
    HRESULT Write(Use use)
    {
        HRESULT hr = E_UNEXPECTED;
        const HRESULT kept = Access([&](AudioSystem& system) { hr = use(system); }, true);
        return FAILED(kept) ? kept : hr;
    }
};

// A system that lives in this process.
class MemoryAudioStore final : public AudioStore {
public:
    explicit MemoryAudioStore(std::shared_ptr<AudioSystem> system);
    ~MemoryAudioStore() override;
    HRESULT Access(const std::function<void(AudioSystem&)>& use, bool keep) override;
    unsigned Stamp() override;

private:
    std::shared_ptr<AudioSystem> system_;
    CRITICAL_SECTION lock_;
};

// What one process holds of the system: its store, the callbacks it
// registered, and the thread of its own that calls them with each change
// (Windows calls them on threads of its audio service, never the client's).
class AudioProcess {
public:
    // `oneObjectPerEndpoint`: every call hands out the same IMMDevice for an
    // endpoint, as Wine's winmm needs (it compares them by pointer).
    AudioProcess(std::unique_ptr<AudioStore> store, bool oneObjectPerEndpoint);
    ~AudioProcess();
    AudioProcess(const AudioProcess&) = delete;
    AudioProcess& operator=(const AudioProcess&) = delete;

    AudioStore& Store() { return *store_; }
    HRESULT Device(const std::shared_ptr<AudioProcess>& self, int endpoint, IMMDevice** device);
    HRESULT AddVolumeCallback(int endpoint, IAudioEndpointVolumeCallback* callback);
    HRESULT RemoveVolumeCallback(IAudioEndpointVolumeCallback* callback);
    HRESULT AddClient(IMMNotificationClient* client);
    HRESULT RemoveClient(IMMNotificationClient* client);

private:
    struct VolumeCallback {
        int endpoint;
        Microsoft::WRL::ComPtr<IAudioEndpointVolumeCallback> callback;
    };
    static DWORD WINAPI Watch(void* self);
    void DeliverNew();
    void Deliver(const AudioEvent& event, const std::vector<std::wstring>& ids);
    void StartWatching();

    std::unique_ptr<AudioStore> store_;
    bool oneObjectPerEndpoint_;
    CRITICAL_SECTION lock_;  // the members below
    std::map<int, Microsoft::WRL::ComPtr<IMMDevice>> devices_;
    std::vector<VolumeCallback> volumeCallbacks_;
    std::vector<Microsoft::WRL::ComPtr<IMMNotificationClient>> clients_;
    unsigned seen_ = 0;     // the last change delivered
    unsigned stamp_ = ~0u;  // the store's stamp when last looked at
    HANDLE stop_ = nullptr;
    HANDLE watcher_ = nullptr;
};

// The interface the PolicyConfig class answers on Windows 7 to 11.
MIDL_INTERFACE("f8679f50-850a-41cf-9c72-430f290290c8")
IPolicyConfig : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetMixFormat(PCWSTR, WAVEFORMATEX**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceFormat(PCWSTR, INT, WAVEFORMATEX**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetDeviceFormat(PCWSTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDeviceFormat(PCWSTR, WAVEFORMATEX*, WAVEFORMATEX*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProcessingPeriod(PCWSTR, INT, PINT64, PINT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProcessingPeriod(PCWSTR, PINT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetShareMode(PCWSTR, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetShareMode(PCWSTR, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                                       PROPVARIANT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                                       PROPVARIANT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR id, ERole role) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEndpointVisibility(PCWSTR, INT) = 0;
};
__CRT_UUID_DECL(IPolicyConfig, 0xf8679f50, 0x850a, 0x41cf, 0x9c, 0x72, 0x43, 0x0f, 0x29, 0x02, 0x90,
                0xc8)

// The classes Windows registers, by the ids programs create them with.
constexpr CLSID AudioEnumeratorClass = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
constexpr CLSID PolicyConfigClass = {
    0x870af99c, 0x171d, 0x4f9e, {0xaf, 0x0d, 0xe6, 0x3d, 0xf4, 0x0c, 0x2b, 0xc9}};

Microsoft::WRL::ComPtr<IMMDeviceEnumerator>
MakeAudioEnumerator(std::shared_ptr<AudioProcess> process);
Microsoft::WRL::ComPtr<IPolicyConfig> MakePolicyConfig(std::shared_ptr<AudioProcess> process);

// COM objects of the stand-in alive in this process (for DllCanUnloadNow).
long LiveAudioObjects();
