// The tray icon module against the real shell of Wine: what the record holds,
// and which calls reach the notification area.
#include "app/Notifyicon.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace {

class TrayTest : public ::testing::Test {
protected:
    HWND window = CreateWindowExA(0, "STATIC", "tray test", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    HICON icon = LoadIcon(nullptr, IDI_APPLICATION);

    void TearDown() override
    {
        DeleteTrayIcon(window);
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
    NotifyIconDataV1 r = TrayIconRecord(window, "49%\rMaster Volume", icon);
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
    NotifyIconDataV1 r = TrayIconRecord(window, longTip, icon);
    EXPECT_EQ(std::string(r.szTip), longTip.substr(0, 63));
    EXPECT_EQ(r.szTip[63], '\0');
    EXPECT_EQ(std::string(TrayIconRecord(window, std::string(63, 'y'), icon).szTip),
              std::string(63, 'y'));
}

TEST_F(TrayTest, ChangesOnlyReachTheShellWhileAdded)
{
    ModifyTrayIcon(window, "before add", icon);
    DeleteTrayIcon(window);
    EXPECT_FALSE(TrayIconAdded);
    EXPECT_FALSE(ShellHasIcon());

    AddTrayIcon(window, "first", icon);
    EXPECT_TRUE(TrayIconAdded);
    EXPECT_TRUE(ShellHasIcon());

    // The shell lost the icon behind our back: a second add is not made.
    NOTIFYICONDATAA gone{};
    gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
    gone.hWnd = window;
    gone.uID = TrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &gone);
    AddTrayIcon(window, "second", icon);
    EXPECT_FALSE(ShellHasIcon());
    EXPECT_TRUE(TrayIconAdded);

    DeleteTrayIcon(window);
    EXPECT_FALSE(TrayIconAdded);
    AddTrayIcon(window, "again", icon);
    EXPECT_TRUE(ShellHasIcon());
    DeleteTrayIcon(window);
    EXPECT_FALSE(ShellHasIcon());
    ModifyTrayIcon(window, "after delete", icon);
    EXPECT_FALSE(ShellHasIcon());
}

}  // namespace
