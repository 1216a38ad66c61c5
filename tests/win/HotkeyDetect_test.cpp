// A real detector thread under Wine: keys pressed with SendInput, actions
// received as WM_HOTKEYACTION in a message-only window. Timing bounds leave
// room for a loaded machine; the exact rules are checked by the unit tests.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyDetect.h"

namespace {

constexpr WORD Ctrl = VK_CONTROL, F9 = VK_F9, NumpadSubtract = VK_SUBTRACT,
               NumpadMultiply = VK_MULTIPLY;

struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

UniqueWindow MakeTargetWindow()
{
    return UniqueWindow(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr));
}

// Keys a test presses, released however the test ends so that no key
// stays down for the tests after it.
class Keyboard {
public:
    ~Keyboard() { ReleaseAll(); }
    void Press(WORD key)
    {
        Send(key, 0);
        Down.push_back(key);
    }
    void ReleaseAll()
    {
        for (auto key = Down.rbegin(); key != Down.rend(); ++key)
            Send(*key, KEYEVENTF_KEYUP);
        Down.clear();
    }

private:
    static void Send(WORD key, DWORD flags)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
    }
    std::vector<WORD> Down;
};

// The threads this process has now.
int ThreadCount()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// Signed difference of two tick readings.
LONG Elapsed(DWORD from, DWORD to) { return static_cast<LONG>(to - from); }

struct Received {
    HotkeyAction Action;
    DWORD PostedAt;  // the message's time stamp, taken when it was posted
};

// Pumps the test thread's queue for a while and keeps the detector's
// messages for the window.
std::vector<Received> CollectFor(HWND window, DWORD ms)
{
    std::vector<Received> got;
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == window && msg.message == WM_HOTKEYACTION)
                got.push_back({ActionOf(msg.wParam, msg.lParam), msg.time});
        }
        const LONG left = static_cast<LONG>(ms) - Elapsed(start, GetTickCount());
        if (left <= 0) return got;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

class HotkeyDetectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Window);
        // Volume up "Ctrl" + "F9", volume down and mute on the keypad.
        BuildHotkeyBindings({{{1, 51}, {0, 56}, {0, 57}}}, Hotkeys);
        ASSERT_EQ(VolumeUpHotkey.Key.load(), F9);
        Detector = std::make_unique<THotkeyDetector>(Window.get(), Hotkeys);
    }
    void TearDown() override
    {
        Keys.ReleaseAll();
        Detector.reset();
        BuildHotkeyBindings({{{-1, -1}, {-1, -1}, {-1, -1}}}, Hotkeys);
    }

    UniqueWindow Window = MakeTargetWindow();
    Keyboard Keys;
    std::unique_ptr<THotkeyDetector> Detector;  // ended first, as the window ends it
};

TEST_F(HotkeyDetectorTest, HeldVolumeKeyPostsAtOnceThenRepeats)
{
    EXPECT_TRUE(CollectFor(Window.get(), 200).empty()) << "nothing pressed";

    Keys.Press(F9);
    EXPECT_TRUE(CollectFor(Window.get(), 200).empty()) << "Ctrl is part of the hotkey";

    const DWORD pressed = GetTickCount();
    Keys.Press(Ctrl);
    std::vector<Received> got = CollectFor(Window.get(), 1500);
    const LONG held = Elapsed(pressed, GetTickCount());
    Keys.ReleaseAll();
    const DWORD released = GetTickCount();
    const std::vector<Received> after = CollectFor(Window.get(), 300);
    got.insert(got.end(), after.begin(), after.end());

    std::string times = "held " + std::to_string(held) + " ms, posts at";
    for (const Received& r : got)
        times += " " + std::to_string(Elapsed(pressed, r.PostedAt));
    SCOPED_TRACE(times);
    ASSERT_GE(got.size(), 3u) << "one at once, one after a second, repeats";
    // At most one post a poll, and repeats never closer than 81 ms.
    EXPECT_LE(got.size(), static_cast<std::size_t>(2 + (held - 1001) / 81));
    EXPECT_GE(Elapsed(pressed, got[0].PostedAt), 0);
    EXPECT_LT(Elapsed(pressed, got[0].PostedAt), 250);
    EXPECT_GE(Elapsed(got[0].PostedAt, got[1].PostedAt), 1001);
    EXPECT_LT(Elapsed(got[0].PostedAt, got[1].PostedAt), 1001 + 300);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Action, HotkeyAction::VolumeUp);
        if (i >= 2) {
            EXPECT_GE(Elapsed(got[i - 1].PostedAt, got[i].PostedAt), 81) << "repeat " << i;
            EXPECT_LT(Elapsed(got[i - 1].PostedAt, got[i].PostedAt), 300) << "repeat " << i;
        }
    }
    // A poll already under way at the release may still post once.
    EXPECT_LT(Elapsed(released, got.back().PostedAt), 50);
}

TEST_F(HotkeyDetectorTest, EachActionCarriesItsOwnParameters)
{
    Keys.Press(NumpadSubtract);
    std::vector<Received> got = CollectFor(Window.get(), 300);
    Keys.ReleaseAll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Action, HotkeyAction::VolumeDown);
    CollectFor(Window.get(), 50);

    // Mute fires once however long it is held, and again on the next press.
    for (int press = 0; press < 2; ++press) {
        Keys.Press(NumpadMultiply);
        got = CollectFor(Window.get(), press == 0 ? 1300 : 300);
        Keys.ReleaseAll();
        ASSERT_EQ(got.size(), 1u) << "press " << press;
        EXPECT_EQ(got[0].Action, HotkeyAction::MuteToggle);
        CollectFor(Window.get(), 50);
    }
}

// Its owner ends it: the thread is gone when that returns, also when the
// window it posts to went first.
TEST_F(HotkeyDetectorTest, EndingTheDetectorJoinsItsThread)
{
    const int running = ThreadCount();
    Detector.reset();
    EXPECT_EQ(ThreadCount(), running - 1);
    Keys.Press(NumpadSubtract);
    EXPECT_TRUE(CollectFor(Window.get(), 200).empty()) << "nothing polls any more";
}

TEST_F(HotkeyDetectorTest, OutlivesItsWindowUntilEnded)
{
    Window.reset();
    Keys.Press(NumpadSubtract);  // posts to a window that is gone
    Sleep(100);
    Keys.ReleaseAll();
    const int running = ThreadCount();
    Detector.reset();
    EXPECT_EQ(ThreadCount(), running - 1);
}

}  // namespace
