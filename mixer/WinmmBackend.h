#pragma once
// The winmm mixer, for systems where Core Audio is missing or cannot set the
// endpoint volume (Windows XP, Wine). A device is usable if it has a speakers
// destination with a volume control; its lines are that destination and the
// destination's source lines.
#include "MixerBackend.h"

class WinmmBackend final : public MixerBackend {
public:
    using MixerBackend::MixerBackend;
    const wchar_t* Name() const override { return L"winmm"; }
    int DeviceCount() override;
    int DefaultDevice() override;
    std::unique_ptr<MixerDevice> OpenDevice(int index) override;
};

// The HRESULT the component reports for a failed winmm call.
HRESULT MmResultToHresult(UINT result);
