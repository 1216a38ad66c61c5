#include "hotkeys/HotkeyDetect.h"

#include "hotkeys/HotkeyPoll.h"

namespace {

// The poll's platform on the real keyboard, clock and message queue; its
// calls are direct.
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

}  // namespace

// A plain system thread: the C++ thread library would bring a threads
// runtime into the program for this one call.
THotkeyDetector::THotkeyDetector(HWND targetWindow, const HotkeyBindings& bindings)
    : TargetWindow(targetWindow), Bindings(bindings)
{
    Thread.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

THotkeyDetector::~THotkeyDetector() { Terminate(); }

void THotkeyDetector::Join(HANDLE thread)
{
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

DWORD WINAPI THotkeyDetector::Run(void* detector)
{
    static_cast<THotkeyDetector*>(detector)->Execute();
    return 0;
}

void THotkeyDetector::Terminate() { Terminated.store(true); }

// The first poll runs at once; a request that arrives during a poll is
// seen after the pause that follows it.
void THotkeyDetector::Execute() noexcept
{
    try {
        Win32HotkeyPlatform platform(TargetWindow);
        BasicHotkeyPoller<Win32HotkeyPlatform> poller(Bindings, platform);
        do {
            poller.Poll();
            Sleep(1);
        } while (!Terminated.load());
    } catch (...) {
        // Nothing may leave a thread's entry; the detector simply stops.
    }
}
