#include "Microphones.h"

#include <algorithm>

namespace {

bool Has(const std::vector<std::wstring>& ids, const std::wstring& id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

int MicrophoneMute::Count()
{
    if (!devices_) return 0;
    const size_t count = devices_->Active().size();
    return static_cast<int>(std::min<size_t>(count, 0x7fff));
}

bool MicrophoneMute::Muted()
{
    const std::shared_ptr<void> held = store_->Hold();
    GiveBackReturned();
    const std::vector<std::wstring> present = Present();
    return std::all_of(present.begin(), present.end(),
                       [this](const std::wstring& id) { return devices_->Muted(id); });
}

void MicrophoneMute::SetMuted(bool muted)
{
    const std::shared_ptr<void> held = store_->Hold();
    GiveBackReturned();
    const std::vector<std::wstring> present = Present();
    if (muted)
        Mute(present);
    else
        Unmute(present);
}

void MicrophoneMute::GiveBackReturned()
{
    if (!devices_) return;
    const std::shared_ptr<void> held = store_->Hold();
    MicrophoneMemory memory = store_->Load();
    if (memory.muting || memory.ids.empty()) return;
    const std::vector<std::wstring> active = devices_->Active();
    std::vector<std::wstring> owed;
    for (const std::wstring& id : memory.ids) {
        if (Has(active, id))
            devices_->SetMuted(id, false);
        else
            owed.push_back(id);
    }
    // Forgotten only once given back: a failure above leaves them owed.
    if (owed.size() == memory.ids.size()) return;
    memory.ids = std::move(owed);
    store_->Save(memory);
}

// Remembered before muting, so that a kill in between leaves remembered ones
// that are still on, which an unmute turns on again: as they were. Kept from
// the old memory: those it still holds muted, and those still owed while gone.
void MicrophoneMute::Mute(const std::vector<std::wstring>& present)
{
    MicrophoneMemory memory{true, {}};
    for (const std::wstring& id : store_->Load().ids)
        if (!Has(present, id) || devices_->Muted(id)) memory.ids.push_back(id);
    std::vector<std::wstring> taking;
    for (const std::wstring& id : present)
        if (!devices_->Muted(id)) taking.push_back(id);
    memory.ids.insert(memory.ids.end(), taking.begin(), taking.end());
    store_->Save(memory);
    for (const std::wstring& id : taking)
        devices_->SetMuted(id, true);
}

// Those the mute took that are here; with none remembered, the defaults; and
// where the system names no default, every one, so that the toggle can always
// turn them on again. Forgotten after: a kill or failure before leaves them
// remembered for the next unmute.
void MicrophoneMute::Unmute(const std::vector<std::wstring>& present)
{
    MicrophoneMemory memory = store_->Load();
    if (!memory.muting || memory.ids.empty()) {
        std::vector<std::wstring> targets = devices_->Defaults();
        if (targets.empty()) targets = present;
        for (const std::wstring& id : targets)
            devices_->SetMuted(id, false);
        return;
    }
    MicrophoneMemory owed{false, {}};
    for (const std::wstring& id : memory.ids) {
        if (Has(present, id))
            devices_->SetMuted(id, false);
        else
            owed.ids.push_back(id);
    }
    store_->Save(owed);
}

std::vector<std::wstring> MicrophoneMute::Present()
{
    std::vector<std::wstring> present;
    if (devices_) present = devices_->Active();
    if (present.empty()) throw MixerError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), NoMicrophoneText);
    return present;
}
