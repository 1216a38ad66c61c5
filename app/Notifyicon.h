#pragma once
// The program's icons in the notification area: the main one, and the one
// that shows while the microphones are muted.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/WindowMessages.h"

// The tray icons' ids; both call back with WM_TRAYNOTIFY.
constexpr UINT TrayIconId = 104;
constexpr UINT MicTrayIconId = 105;

// Fills the record for `window` as the first shell version reads it
// (cbSize NOTIFYICONDATAA_V1_SIZE, so that every shell accepts it); the tip
// is cut to the 63 characters that version shows, so that it always ends
// with its zero.
NOTIFYICONDATAA TrayIconRecord(HWND window, const std::string& tip, HICON icon,
                               UINT id = TrayIconId);

// How a record reaches the shell: Shell_NotifyIconA, or a stand-in.
using NotifyShell = BOOL (*)(DWORD message, NOTIFYICONDATAA* record);
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAA* record);

// The icon: its record and whether the shell has it. The shell may refuse
// or time out an add while it is still starting (at logon): the add is then
// tried again on the window's TrayRetryTimer until the shell takes it, since
// a hidden window with no icon cannot be reached at all. An icon whose owner
// tries again by itself has no retry timer (0).
class TTrayIcon {
public:
    explicit TTrayIcon(NotifyShell shell = ShellNotifyIcon, UINT id = TrayIconId,
                       UINT_PTR retryTimer = TrayRetryTimer)
        : shell_(shell), id_(id), retryTimer_(retryTimer)
    {
    }
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
    UINT id_;
    UINT_PTR retryTimer_;
    NOTIFYICONDATAA record_{};
    bool added_ = false;
};
