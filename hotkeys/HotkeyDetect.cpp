#include "hotkeys/HotkeyDetect.h"

#include <thread>

#include "hotkeys/HotkeyPoll.h"

namespace {

class Win32HotkeyPlatform final : public HotkeyPlatform {
 public:
  explicit Win32HotkeyPlatform(HWND target) : Target(target) {}

  // Only the "down now" bit: the "pressed since last query" bit is shared
  // with every other caller and says nothing reliable.
  bool KeyDown(std::int32_t Code) override {
    return (GetAsyncKeyState(Code) & 0x8000) != 0;
  }

  std::int64_t Now() override { return static_cast<std::int64_t>(GetTickCount()); }

  // A failed post (window gone, queue full) only loses that action.
  void Post(HotkeyAction Action) override {
    const HotkeyActionParams params = ParamsOf(Action);
    PostMessageA(Target, WM_HOTKEYACTION, params.WParam, params.LParam);
  }

 private:
  const HWND Target;
};

}  // namespace

std::shared_ptr<THotkeyDetector> THotkeyDetector::Start(HWND TargetWindow) {
  auto detector = std::make_shared<THotkeyDetector>(Token{}, TargetWindow);
  std::thread([detector] { detector->Execute(); }).detach();
  return detector;
}

THotkeyDetector::THotkeyDetector(Token, HWND target) : TargetWindow(target) {}

void THotkeyDetector::Terminate() { Terminated.store(true); }

// The first poll runs at once; a request that arrives during a poll is
// seen after the pause that follows it.
void THotkeyDetector::Execute() noexcept {
  try {
    Win32HotkeyPlatform platform(TargetWindow);
    HotkeyPoller poller(VolumeUpHotkey, VolumeDownHotkey, MuteHotkey, platform);
    do {
      poller.Poll();
      Sleep(1);
    } while (!Terminated.load());
  } catch (...) {
    // Nothing may leave a thread's entry; the detector simply stops.
  }
}
