#include "CoreAudioNotifications.h"

#include <endpointvolume.h>

#include <vector>

#include "ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

// One flow's endpoints (outputs or microphones) share one callback: every
// level or mute change there is told as `changes`.
class VolumeListener final : public ComObject<IAudioEndpointVolumeCallback> {
public:
    VolumeListener(std::shared_ptr<ChangeTarget> target, unsigned changes, const GUID& own)
        : target_(std::move(target)), changes_(changes), own_(own)
    {
    }

    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) override
    {
        if (data && IsEqualGUID(data->guidEventContext, own_)) return S_OK;
        target_->Changed(changes_);
        return S_OK;
    }

private:
    std::shared_ptr<ChangeTarget> target_;
    unsigned changes_;
    GUID own_;
};

// The ids Windows passes may be null (no default left): none is read.
class DeviceListener final : public ComObject<IMMNotificationClient> {
public:
    explicit DeviceListener(std::shared_ptr<ChangeTarget> target) : target_(std::move(target)) {}

    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return Any(); }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return Any(); }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return Any(); }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole, LPCWSTR) override
    {
        target_->Changed(flow == eCapture ? MixerChange::Microphones
                                          : MixerChange::Outputs | MixerChange::Output);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override
    {
        return S_OK;
    }

private:
    // An endpoint of either flow came, went or changed its state.
    HRESULT Any()
    {
        target_->Changed(MixerChange::Outputs | MixerChange::Output | MixerChange::Microphones);
        return S_OK;
    }

    std::shared_ptr<ChangeTarget> target_;
};

class CoreAudioWatch final : public ChangeWatch {
public:
    CoreAudioWatch(ComPtr<IMMDeviceEnumerator> enumerator, std::shared_ptr<ChangeTarget> target,
                   const GUID& own)
        : enumerator_(std::move(enumerator)),
          devices_(MakeComObject<IMMNotificationClient, DeviceListener>(target)),
          outputs_(MakeComObject<IAudioEndpointVolumeCallback, VolumeListener>(
              target, MixerChange::Output, own)),
          microphones_(MakeComObject<IAudioEndpointVolumeCallback, VolumeListener>(
              target, MixerChange::Microphones, own))
    {
        if (FAILED(enumerator_->RegisterEndpointNotificationCallback(devices_.Get())))
            devices_.Reset();
        Renew();
    }

    ~CoreAudioWatch() override
    {
        Drop();
        if (devices_) enumerator_->UnregisterEndpointNotificationCallback(devices_.Get());
    }

    void Renew() override
    {
        Drop();
        Register(eRender, outputs_);
        Register(eCapture, microphones_);
    }

private:
    struct Registered {
        ComPtr<IAudioEndpointVolume> volume;
        IAudioEndpointVolumeCallback* callback;  // one of the two kept below
    };

    void Register(EDataFlow flow, const ComPtr<IAudioEndpointVolumeCallback>& callback)
    {
        ComPtr<IMMDeviceCollection> endpoints;
        UINT count = 0;
        if (FAILED(enumerator_->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &endpoints)) ||
            FAILED(endpoints->GetCount(&count)))
            return;
        for (UINT i = 0; i < count; ++i) {
            ComPtr<IMMDevice> device;
            ComPtr<IAudioEndpointVolume> volume;
            if (SUCCEEDED(endpoints->Item(i, &device)) &&
                SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                           reinterpret_cast<void**>(volume.GetAddressOf()))) &&
                volume && SUCCEEDED(volume->RegisterControlChangeNotify(callback.Get())))
                registered_.push_back({volume, callback.Get()});
        }
    }

    void Drop()
    {
        for (const Registered& r : registered_)
            r.volume->UnregisterControlChangeNotify(r.callback);
        registered_.clear();
    }

    ComPtr<IMMDeviceEnumerator> enumerator_;
    ComPtr<IMMNotificationClient> devices_;
    ComPtr<IAudioEndpointVolumeCallback> outputs_;
    ComPtr<IAudioEndpointVolumeCallback> microphones_;
    std::vector<Registered> registered_;
};

}  // namespace

std::unique_ptr<ChangeWatch> WatchCoreAudio(ComPtr<IMMDeviceEnumerator> enumerator,
                                            std::shared_ptr<ChangeTarget> target, const GUID& own)
{
    return std::make_unique<CoreAudioWatch>(std::move(enumerator), std::move(target), own);
}
