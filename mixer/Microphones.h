#pragma once
// micMute and micCount over any backend's microphones. Muting takes every
// active microphone that is on and remembers which it took; unmuting gives
// back exactly those, by id, so that one muted before stays muted. One that
// is gone at the unmute stays remembered and is given back when it is seen
// again. The memory lives in a store that every process using the component
// shares, so Tarnbell, tarnmixer and scripts give back each other's mutes.
// With nothing remembered, unmuting turns on the system's default
// microphones.
#include <memory>
#include <string>
#include <vector>

#include "MixerBackend.h"

constexpr const char* NoMicrophoneText = "There is no microphone now.";

// What the last mute or unmute left to give back.
struct MicrophoneMemory {
    // True while a mute holds `ids`; false once an unmute has run, when
    // `ids` are those it could not reach, owed until they come back.
    bool muting = false;
    std::vector<std::wstring> ids;
};

// Where the memory is kept. Save replaces the whole memory at once: a
// process killed during it leaves the old memory or the new one, never a mix.
class MicrophoneStore {
public:
    virtual ~MicrophoneStore() = default;
    // Nothing remembered when there is no memory or it cannot be read.
    virtual MicrophoneMemory Load() = 0;
    virtual void Save(const MicrophoneMemory& memory) = 0;
    // Held from a command's Load to its Save, so that two processes'
    // commands do not write over each other; the same thread may nest it.
    virtual std::shared_ptr<void> Hold() { return nullptr; }
};

// The current user's memory, in the registry (HKCU), for every process.
std::unique_ptr<MicrophoneStore> OpenUserMicrophoneStore();

class MicrophoneMute {
public:
    // `devices` may be null: there are no microphones then.
    MicrophoneMute(std::unique_ptr<CaptureDevices> devices, std::unique_ptr<MicrophoneStore> store)
        : devices_(std::move(devices)), store_(std::move(store))
    {
    }

    int Count();
    // True when every active microphone is muted.
    bool Muted();
    void SetMuted(bool muted);
    // Turns on the microphones an unmute still owes that are active now. Each
    // microphone command starts with it; call it too when a microphone
    // becomes active, from the thread that owns this object.
    void GiveBackReturned();

private:
    std::vector<std::wstring> Present();
    void Mute(const std::vector<std::wstring>& present);
    void Unmute(const std::vector<std::wstring>& present);

    std::unique_ptr<CaptureDevices> devices_;
    std::unique_ptr<MicrophoneStore> store_;
};
