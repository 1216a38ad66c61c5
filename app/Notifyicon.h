#pragma once
// The program's one icon in the notification area.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/WindowMessages.h"

// The tray icon's id; its callback message is WM_TRAYNOTIFY.
constexpr UINT TrayIconId = 104;

// Fills the record for `window` as the first shell version reads it
// (cbSize NOTIFYICONDATAA_V1_SIZE, so that every shell accepts it); the tip
// is cut to the 63 characters that version shows, so that it always ends
// with its zero.
NOTIFYICONDATAA TrayIconRecord(HWND window, const std::string& tip, HICON icon);

// How a record reaches the shell: Shell_NotifyIconA, or a stand-in.
using NotifyShell = BOOL (*)(DWORD message, NOTIFYICONDATAA* record);
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAA* record);

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
    NOTIFYICONDATAA record_{};
    bool added_ = false;
};
