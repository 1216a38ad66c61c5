#pragma once
// The program's one icon in the notification area.
#include <windows.h>

#include <string>

#include "app/WindowMessages.h"

// The tray icon's id; its callback message is WM_TRAYNOTIFY.
constexpr UINT TrayIconId = 104;

// The record as the first shell version knows it (88 bytes in the 32-bit
// build, 104 with 64-bit handles), with none of the fields later versions
// added, so that every shell accepts it.
struct NotifyIconDataV1 {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};

// Fills the record for `window`; the tip is cut to 63 characters so that it
// always ends with its zero.
NotifyIconDataV1 TrayIconRecord(HWND window, const std::string& tip, HICON icon);

// How a record reaches the shell: Shell_NotifyIconA, or a stand-in.
using NotifyShell = BOOL (*)(DWORD message, NotifyIconDataV1* record);
BOOL ShellNotifyIcon(DWORD message, NotifyIconDataV1* record);

// The icon: its record and whether the shell has it. The shell may refuse
// or time out an add while it is still starting (at logon): the add is then
// tried again on the window's TrayRetryTimer until the shell takes it, since
// a hidden window with no icon cannot be reached at all.
class TTrayIcon {
public:
    explicit TTrayIcon(NotifyShell shell = ShellNotifyIcon) : shell_(shell) {}
    ~TTrayIcon() { Delete(); }
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Does nothing while the shell has the icon.
    void Add(HWND window, const std::string& tip, HICON icon);
    // Does nothing until an add succeeded.
    void Modify(const std::string& tip, HICON icon);
    void Delete();
    // The notification area was made anew: it holds none of our icons.
    void Forget() { added_ = false; }
    bool Added() const { return added_; }

private:
    NotifyShell shell_;
    NotifyIconDataV1 record_{};
    bool added_ = false;
};
