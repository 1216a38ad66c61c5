#pragma once
// The winmm mixer, for systems where Core Audio is missing or cannot set the
// endpoint volume (Windows XP, Wine). A device is usable if it has a speakers
// destination with a volume control; its lines are that destination and the
// destination's source lines. Its microphones are the mixers' wave-in
// destinations.
#include <map>
#include <vector>

#include "MixerBackend.h"
#include "VolumeScale.h"

class WinmmBackend final : public MixerBackend {
public:
    using MixerBackend::MixerBackend;
    const wchar_t* Name() const override { return L"winmm"; }
    int DeviceCount() override;
    int DefaultDevice() override;
    std::unique_ptr<MixerDevice> OpenDevice(int index) override;
    std::unique_ptr<CaptureDevices> OpenCapture() override;
    // Every mixer opened with `window` for its change messages; the
    // microphones are read again by the client, as not every driver tells.
    std::unique_ptr<ChangeWatch> Watch(std::shared_ptr<ChangeTarget> target, HWND window) override;

private:
    // Per device, per line: what a write left, so that the written volume
    // still reads back after the device is selected again.
    std::map<int, std::vector<VolumeMemo>> memos_;
};

// The HRESULT the component reports for a failed winmm call.
HRESULT MmResultToHresult(UINT result);
