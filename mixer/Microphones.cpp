#include "Microphones.h"

#include <algorithm>

int MicrophoneMute::Count()
{
    if (!devices_) return 0;
    const size_t count = devices_->Active().size();
    return static_cast<int>(std::min<size_t>(count, 0x7fff));
}

bool MicrophoneMute::Muted()
{
    const std::vector<std::wstring> present = Present();
    return std::all_of(present.begin(), present.end(),
                       [this](const std::wstring& id) { return devices_->Muted(id); });
}

void MicrophoneMute::SetMuted(bool muted)
{
    const std::vector<std::wstring> present = Present();
    if (!muted) return Unmute(present);
    for (const std::wstring& id : present) {
        if (devices_->Muted(id)) continue;
        devices_->SetMuted(id, true);
        mutedHere_.insert(id);
    }
}

// Those this object muted that are still there; else the defaults; else,
// where the system names no default, every one, so that the toggle can
// always turn them on again.
void MicrophoneMute::Unmute(const std::vector<std::wstring>& present)
{
    std::vector<std::wstring> targets;
    for (const std::wstring& id : present)
        if (mutedHere_.count(id)) targets.push_back(id);
    if (targets.empty()) targets = devices_->Defaults();
    if (targets.empty()) targets = present;
    // Forgotten one by one, so that a failure leaves the rest remembered.
    for (const std::wstring& id : targets) {
        devices_->SetMuted(id, false);
        mutedHere_.erase(id);
    }
    mutedHere_.clear();  // those that went away
}

std::vector<std::wstring> MicrophoneMute::Present()
{
    std::vector<std::wstring> present;
    if (devices_) present = devices_->Active();
    if (present.empty()) throw MixerError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), NoMicrophoneText);
    return present;
}
