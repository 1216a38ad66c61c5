#include "Notifyicon.h"

#include <cstring>

BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAA* record)
{
    return Shell_NotifyIconA(message, record);
}

NOTIFYICONDATAA TrayIconRecord(HWND window, const std::string& tip, HICON icon, UINT id)
{
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    constexpr std::size_t firstShellTipSize = 64;
    std::size_t length = tip.size() < firstShellTipSize ? tip.size() : firstShellTipSize - 1;
    std::memcpy(record.szTip, tip.data(), length);
    return record;
}

void TTrayIcon::Add(HWND window, const std::string& tip, HICON icon)
{
    if (added_) return;
    record_ = TrayIconRecord(window, tip, icon, id_);
    // An add that timed out may still have reached the shell: a change
    // then succeeds, and a second add would fail for ever.
    added_ = shell_(NIM_ADD, &record_) || shell_(NIM_MODIFY, &record_);
    if (!retryTimer_) return;
    if (added_)
        KillTimer(window, retryTimer_);
    else
        SetTimer(window, retryTimer_, TrayRetryInterval, nullptr);
}

void TTrayIcon::Modify(const std::string& tip, HICON icon)
{
    if (!added_) return;
    record_ = TrayIconRecord(record_.hWnd, tip, icon, id_);
    shell_(NIM_MODIFY, &record_);
}

void TTrayIcon::Delete()
{
    if (record_.hWnd && retryTimer_) KillTimer(record_.hWnd, retryTimer_);
    if (!added_) return;
    shell_(NIM_DELETE, &record_);
    added_ = false;
}
