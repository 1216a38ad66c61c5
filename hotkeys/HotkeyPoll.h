#ifndef TARNBELL_HOTKEYS_HOTKEYPOLL_H
#define TARNBELL_HOTKEYS_HOTKEYPOLL_H

// One poll of the hotkey detector: finds which binding is held and decides
// whether to post its action, with the repeat timing of held volume keys.
// The platform is reached only through HotkeyPlatform.

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
  virtual bool KeyDown(std::int32_t Code) = 0;
  // The millisecond tick counter, widened without wrap correction.
  virtual std::int64_t Now() = 0;
  virtual void Post(HotkeyAction Action) = 0;

 protected:
  ~HotkeyPlatform() = default;
};

class HotkeyPoller {
 public:
  HotkeyPoller(const HotkeyBinding& VolumeUp, const HotkeyBinding& VolumeDown,
               const HotkeyBinding& Mute, HotkeyPlatform& Platform);

  // Posts at most one action; allocates nothing and takes no lock.
  void Poll();

 private:
  bool IsHeld(const HotkeyBinding& Binding);
  void VolumeStep(HotkeyAction Action);
  void MuteStep();
  bool RepeatDue();

  const HotkeyBinding& VolumeUp;
  const HotkeyBinding& VolumeDown;
  const HotkeyBinding& Mute;
  HotkeyPlatform& Platform;

  // Shared by all three bindings: a hold lasts as long as any of them is
  // held without a poll in between that finds none held. Fired is set from
  // a post until the repeat rule or a release clears it. A HoldStart of 0
  // counts as a hold that began long ago.
  bool Fired = false;
  bool AtRest = true;
  std::int64_t HoldStart = 0;
  std::int64_t LastPost = 0;
};

#endif
