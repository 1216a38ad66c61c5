#include "hotkeys/HotkeyPoll.h"

HotkeyPoller::HotkeyPoller(const HotkeyBinding& volumeUp,
                           const HotkeyBinding& volumeDown,
                           const HotkeyBinding& mute, HotkeyPlatform& platform)
    : VolumeUp(volumeUp), VolumeDown(volumeDown), Mute(mute),
      Platform(platform) {}

void HotkeyPoller::Poll() {
  if (IsHeld(VolumeUp)) {
    VolumeStep(HotkeyAction::VolumeUp);
  } else if (IsHeld(VolumeDown)) {
    VolumeStep(HotkeyAction::VolumeDown);
  } else if (IsHeld(Mute)) {
    MuteStep();
  } else {
    Fired = false;
    AtRest = true;
  }
}

// Other keys are never looked at, so extra modifiers neither block nor
// change a match.
bool HotkeyPoller::IsHeld(const HotkeyBinding& Binding) {
  const std::int32_t modifier1 = Binding.Modifier1.load(std::memory_order_relaxed);
  if (modifier1 != 0 && !Platform.KeyDown(modifier1)) return false;
  const std::int32_t modifier2 = Binding.Modifier2.load(std::memory_order_relaxed);
  if (modifier2 != 0 && !Platform.KeyDown(modifier2)) return false;
  const std::int32_t key = Binding.Key.load(std::memory_order_relaxed);
  return key != 0 && Platform.KeyDown(key);
}

void HotkeyPoller::VolumeStep(HotkeyAction Action) {
  if (!Fired) {
    Platform.Post(Action);
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

// One toggle per press: Fired stays set until a poll finds nothing held.
void HotkeyPoller::MuteStep() {
  if (Fired) return;
  Platform.Post(HotkeyAction::MuteToggle);
  LastPost = Platform.Now();
  Fired = true;
}

// Each comparison takes its own reading of the clock. After a wrap of the
// tick counter the first difference is negative: no repeat until release.
bool HotkeyPoller::RepeatDue() {
  return Platform.Now() - HoldStart > HotkeyRepeatDelayMs &&
         Platform.Now() - LastPost > HotkeyRepeatIntervalMs;
}
