#pragma once
// micMute and micCount over any backend's microphones. Muting takes every
// active microphone and remembers which of them were on; unmuting gives back
// exactly those, so that one the user had muted before stays muted. With
// nothing remembered (a new start, or all of them gone) it unmutes the
// system's default microphones.
#include <memory>
#include <set>

#include "MixerBackend.h"

constexpr const char* NoMicrophoneText = "There is no microphone now.";

class MicrophoneMute {
public:
    // `devices` may be null: there are no microphones then.
    explicit MicrophoneMute(std::unique_ptr<CaptureDevices> devices) : devices_(std::move(devices))
    {
    }

    int Count();
    // True when every active microphone is muted.
    bool Muted();
    void SetMuted(bool muted);

private:
    std::vector<std::wstring> Present();
    void Unmute(const std::vector<std::wstring>& present);

    std::unique_ptr<CaptureDevices> devices_;
    std::set<std::wstring> mutedHere_;  // the ones this object muted
};
