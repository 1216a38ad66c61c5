#include "hotkeys/HotkeyDetect.h"

#include "hotkeys/HotkeyPoll.h"

namespace {

// The poll's platform on the real keyboard, clock and message queue; its
// calls are direct, so the poll inlines them.
class Win32HotkeyPlatform {
public:
    explicit Win32HotkeyPlatform(HWND target) : Target(target) {}

    // Only the "down now" bit: the "pressed since last query" bit is shared
    // with every other caller and says nothing reliable.
    bool KeyDown(std::int32_t code) { return (GetAsyncKeyState(code) & 0x8000) != 0; }

    std::int64_t Now() { return static_cast<std::int64_t>(GetTickCount()); }

    // A failed post (window gone, queue full) only loses that action.
    void Post(HotkeyAction action)
    {
        const HotkeyActionParams params = ParamsOf(action);
        PostMessageA(Target, WM_HOTKEYACTION, params.WParam, params.LParam);
    }

private:
    const HWND Target;
};

using DetectorRef = std::shared_ptr<THotkeyDetector>;

}  // namespace

// A plain system thread: the C++ thread library would bring a threads
// runtime into the program for this one call.
std::shared_ptr<THotkeyDetector> THotkeyDetector::Start(HWND targetWindow)
{
    auto detector = std::make_shared<THotkeyDetector>(Token{}, targetWindow);
    auto threadRef = std::make_unique<DetectorRef>(detector);
    HANDLE thread = CreateThread(nullptr, 0, Run, threadRef.get(), 0, nullptr);
    if (thread) {
        threadRef.release();  // the thread's own reference, dropped when it ends
        CloseHandle(thread);
    }
    return detector;
}

DWORD WINAPI THotkeyDetector::Run(void* threadRef)
{
    const std::unique_ptr<DetectorRef> self(static_cast<DetectorRef*>(threadRef));
    (*self)->Execute();
    return 0;
}

THotkeyDetector::THotkeyDetector(Token, HWND target) : TargetWindow(target) {}

void THotkeyDetector::Terminate() { Terminated.store(true); }

// The first poll runs at once; a request that arrives during a poll is
// seen after the pause that follows it.
void THotkeyDetector::Execute() noexcept
{
    try {
        Win32HotkeyPlatform platform(TargetWindow);
        BasicHotkeyPoller<Win32HotkeyPlatform> poller(VolumeUpHotkey, VolumeDownHotkey, MuteHotkey,
                                                      platform);
        do {
            poller.Poll();
            Sleep(1);
        } while (!Terminated.load());
    } catch (...) {
        // Nothing may leave a thread's entry; the detector simply stops.
    }
}
