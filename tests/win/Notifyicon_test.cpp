// The tray icon against the real shell of Wine: what the record holds, which
// calls reach the notification area, and the adds a busy shell refuses.
#include "app/Notifyicon.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace {

class TrayTest : public ::testing::Test {
protected:
    HWND window = CreateWindowExA(0, "STATIC", "tray test", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    HICON icon = LoadIcon(nullptr, IDI_APPLICATION);

    TTrayIcon tray;

    void TearDown() override
    {
        tray.Delete();
        DestroyWindow(window);
    }

    // Whether the shell knows our icon: a change of it only succeeds then.
    bool ShellHasIcon()
    {
        NOTIFYICONDATAA probe{};
        probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
        probe.hWnd = window;
        probe.uID = TrayIconId;
        probe.uFlags = NIF_TIP;
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
    }
};

TEST_F(TrayTest, RecordIsTheFirstShellVersion)
{
    NOTIFYICONDATAA r = TrayIconRecord(window, "49%\rMaster Volume", icon);
    EXPECT_EQ(r.cbSize, sizeof(void*) == 4 ? 88u : 104u);
    EXPECT_EQ(r.cbSize, NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(r.hWnd, window);
    EXPECT_EQ(r.uID, 104u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 0x402u);
    EXPECT_EQ(r.hIcon, icon);
    EXPECT_STREQ(r.szTip, "49%\rMaster Volume");
}

TEST_F(TrayTest, LongTipsAreCutAndStillEndWithZero)
{
    std::string longTip = "100%\r" + std::string(80, 'x');
    NOTIFYICONDATAA r = TrayIconRecord(window, longTip, icon);
    EXPECT_EQ(std::string(r.szTip), longTip.substr(0, 63));
    EXPECT_EQ(r.szTip[63], '\0');
    EXPECT_EQ(std::string(TrayIconRecord(window, std::string(63, 'y'), icon).szTip),
              std::string(63, 'y'));
}

TEST_F(TrayTest, ChangesOnlyReachTheShellWhileAdded)
{
    tray.Modify("before add", icon);
    tray.Delete();
    EXPECT_FALSE(tray.Added());
    EXPECT_FALSE(ShellHasIcon());

    tray.Add(window, "first", icon);
    EXPECT_TRUE(tray.Added());
    EXPECT_TRUE(ShellHasIcon());

    // The shell lost the icon behind our back: a second add is not made.
    NOTIFYICONDATAA gone{};
    gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
    gone.hWnd = window;
    gone.uID = TrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &gone);
    tray.Add(window, "second", icon);
    EXPECT_FALSE(ShellHasIcon());
    EXPECT_TRUE(tray.Added());

    tray.Delete();
    EXPECT_FALSE(tray.Added());
    tray.Add(window, "again", icon);
    EXPECT_TRUE(ShellHasIcon());
    tray.Delete();
    EXPECT_FALSE(ShellHasIcon());
    tray.Modify("after delete", icon);
    EXPECT_FALSE(ShellHasIcon());
}

// A shell still starting at logon refuses adds, or takes one and reports a
// time-out.
int refusedAdds = 0;
bool timesOut = false;

BOOL BusyShell(DWORD message, NOTIFYICONDATAA* record)
{
    if (message == NIM_ADD && refusedAdds > 0) return --refusedAdds, FALSE;
    return ShellNotifyIcon(message, record) && !(message == NIM_ADD && timesOut);
}

// The retry timers that reach the window within `milliseconds`, each
// answered with an add, as the main window does.
int RetryTimers(HWND window, TTrayIcon& tray, DWORD milliseconds)
{
    int timers = 0;
    MSG message;
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
        while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (message.wParam != TrayRetryTimer) continue;
            ++timers;
            tray.Add(window, "", nullptr);
        }
    }
    return timers;
}

TEST_F(TrayTest, AddsTheShellRefusesAreRetriedUntilItTakesTheIcon)
{
    TTrayIcon busy(BusyShell);
    refusedAdds = 2;
    busy.Add(window, "first", icon);
    EXPECT_FALSE(ShellHasIcon());
    EXPECT_EQ(RetryTimers(window, busy, 4 * TrayRetryInterval), 2);
    EXPECT_TRUE(busy.Added() && ShellHasIcon());
    busy.Delete();

    timesOut = true;  // the shell has the icon though the add failed: no retry
    busy.Add(window, "timed out", icon);
    EXPECT_TRUE(busy.Added());
    EXPECT_EQ(RetryTimers(window, busy, TrayRetryInterval + 500), 0);
}

}  // namespace
