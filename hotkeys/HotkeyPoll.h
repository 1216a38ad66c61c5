#pragma once
// One poll of the hotkey detector: finds which binding is held and decides
// whether to post its action, with the repeat timing of held volume keys.
// The platform is reached only through the three calls of HotkeyPlatform.

#include <atomic>
#include <cstdint>

#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"

// A held volume key repeats once this much time has passed since the post
// that began the hold, and then this much since the previous post.
constexpr std::int64_t HotkeyRepeatDelayMs = 1000;
constexpr std::int64_t HotkeyRepeatIntervalMs = 80;

class HotkeyPlatform {
public:
    // Whether the key is down at this moment; never asked about code 0.
    virtual bool KeyDown(std::int32_t code) = 0;
    // The millisecond tick counter, widened without wrap correction.
    virtual std::int64_t Now() = 0;
    virtual void Post(HotkeyAction action) = 0;

protected:
    ~HotkeyPlatform() = default;
};

// The poll is written once for any platform type with the calls of
// HotkeyPlatform: the detector's own platform calls the system directly, and
// simulated ones derive from HotkeyPlatform (HotkeyPoller).
template <class PlatformType>
class BasicHotkeyPoller {
public:
    BasicHotkeyPoller(const HotkeyBindings& bindings, PlatformType& platform)
        : Bindings(bindings), Platform(platform)
    {
    }

    // Posts at most one action, for the most specific binding held: the one
    // with the most modifiers (Ctrl + Numpad * before Numpad * alone), the
    // earlier row among equals. Allocates nothing and takes no lock.
    void Poll()
    {
        const HotkeyAction* chosen = nullptr;
        int chosenModifiers = 0;
        for (const HotkeyAction& action : AllHotkeyActions) {
            const int modifiers = ModifierCount(Bindings[action]);
            // Keys that cannot outdo the held binding are not asked about.
            if (chosen && modifiers <= chosenModifiers) continue;
            if (!IsHeld(Bindings[action])) continue;
            chosen = &action;
            chosenModifiers = modifiers;
            if (modifiers == MostModifiers) break;
        }
        if (!chosen) {
            Fired = false;
            AtRest = true;
        } else if (Repeats(*chosen)) {
            RepeatingStep(*chosen);
        } else {
            OncePerPressStep(*chosen);
        }
    }

private:
    static constexpr int MostModifiers = 2;
    static int ModifierCount(const HotkeyBinding& binding);
    bool IsHeld(const HotkeyBinding& binding);
    bool ModifierHeld(const std::atomic<std::int32_t>& modifier);
    void RepeatingStep(HotkeyAction action);
    void OncePerPressStep(HotkeyAction action);
    bool RepeatDue();

    const HotkeyBindings& Bindings;
    PlatformType& Platform;

    // Shared by all bindings: a hold lasts as long as any of them is
    // held without a poll in between that finds none held. Fired is set from
    // a post until the repeat rule or a release clears it. A HoldStart of 0
    // counts as a hold that began long ago.
    bool Fired = false;
    bool AtRest = true;
    std::int64_t HoldStart = 0;
    std::int64_t LastPost = 0;
};

template <class PlatformType>
int BasicHotkeyPoller<PlatformType>::ModifierCount(const HotkeyBinding& binding)
{
    return (binding.Modifier1.load(std::memory_order_relaxed) != 0 ? 1 : 0) +
           (binding.Modifier2.load(std::memory_order_relaxed) != 0 ? 1 : 0);
}

// Asks Modifier1, Modifier2 and Key in this order, skipping modifiers of 0
// and stopping at the first key up. Other keys are never looked at, so a
// modifier held beyond the binding's own does not stop it. A binding without a key asks
// nothing.
template <class PlatformType>
bool BasicHotkeyPoller<PlatformType>::IsHeld(const HotkeyBinding& binding)
{
    const std::int32_t key = binding.Key.load(std::memory_order_relaxed);
    return key != 0 && ModifierHeld(binding.Modifier1) && ModifierHeld(binding.Modifier2) &&
           Platform.KeyDown(key);
}

template <class PlatformType>
bool BasicHotkeyPoller<PlatformType>::ModifierHeld(const std::atomic<std::int32_t>& modifier)
{
    const std::int32_t code = modifier.load(std::memory_order_relaxed);
    return code == 0 || Platform.KeyDown(code);
}

template <class PlatformType>
void BasicHotkeyPoller<PlatformType>::RepeatingStep(HotkeyAction action)
{
    if (!Fired) {
        Platform.Post(action);
        LastPost = Platform.Now();
        if (AtRest) {
            HoldStart = LastPost;
            AtRest = false;
        }
        Fired = true;
    } else if (RepeatDue()) {
        // The repeat itself is posted by the next poll, if the keys are still down.
        Fired = false;
    }
}

// One post per press: Fired stays set until a poll finds nothing held.
template <class PlatformType>
void BasicHotkeyPoller<PlatformType>::OncePerPressStep(HotkeyAction action)
{
    if (Fired) return;
    Platform.Post(action);
    LastPost = Platform.Now();
    Fired = true;
}

// Each comparison takes its own reading of the clock. After a wrap of the
// tick counter the first difference is negative: no repeat until release.
template <class PlatformType>
bool BasicHotkeyPoller<PlatformType>::RepeatDue()
{
    return Platform.Now() - HoldStart > HotkeyRepeatDelayMs &&
           Platform.Now() - LastPost > HotkeyRepeatIntervalMs;
}

using HotkeyPoller = BasicHotkeyPoller<HotkeyPlatform>;
extern template class BasicHotkeyPoller<HotkeyPlatform>;
