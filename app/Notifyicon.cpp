#include "Notifyicon.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>

// The shell reads the same leading fields as in its own record, and the
// record is exactly as long as the first shell version's.
static_assert(offsetof(NotifyIconDataV1, szTip) == offsetof(NOTIFYICONDATAA, szTip));
static_assert(sizeof(NotifyIconDataV1) == NOTIFYICONDATAA_V1_SIZE);
#ifdef _WIN64
static_assert(sizeof(NotifyIconDataV1) == 104,
              "handles are 8 bytes: 4 + 4 padding + 8 + 3 * 4 + 4 padding + 8 + 64");
static_assert(offsetof(NotifyIconDataV1, hWnd) == 8);
static_assert(offsetof(NotifyIconDataV1, hIcon) == 32);
static_assert(offsetof(NotifyIconDataV1, szTip) == 40);
#else
static_assert(sizeof(NotifyIconDataV1) == 88, "first-version NOTIFYICONDATAA is 88 bytes");
static_assert(offsetof(NotifyIconDataV1, hWnd) == 4);
static_assert(offsetof(NotifyIconDataV1, uID) == 8);
static_assert(offsetof(NotifyIconDataV1, uFlags) == 12);
static_assert(offsetof(NotifyIconDataV1, uCallbackMessage) == 16);
static_assert(offsetof(NotifyIconDataV1, hIcon) == 20);
static_assert(offsetof(NotifyIconDataV1, szTip) == 24);
#endif

BOOL ShellNotifyIcon(DWORD message, NotifyIconDataV1* record)
{
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(record));
}

NotifyIconDataV1 TrayIconRecord(HWND window, const std::string& tip, HICON icon)
{
    NotifyIconDataV1 record{};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = TrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    std::size_t length = tip.size() < sizeof record.szTip ? tip.size() : sizeof record.szTip - 1;
    std::memcpy(record.szTip, tip.data(), length);
    return record;
}

void TTrayIcon::Add(HWND window, const std::string& tip, HICON icon)
{
    if (added_) return;
    record_ = TrayIconRecord(window, tip, icon);
    // An add that timed out may still have reached the shell: a change
    // then succeeds, and a second add would fail for ever.
    added_ = shell_(NIM_ADD, &record_) || shell_(NIM_MODIFY, &record_);
    if (added_)
        KillTimer(window, TrayRetryTimer);
    else
        SetTimer(window, TrayRetryTimer, TrayRetryInterval, nullptr);
}

void TTrayIcon::Modify(const std::string& tip, HICON icon)
{
    if (!added_) return;
    record_ = TrayIconRecord(record_.hWnd, tip, icon);
    shell_(NIM_MODIFY, &record_);
}

void TTrayIcon::Delete()
{
    if (record_.hWnd) KillTimer(record_.hWnd, TrayRetryTimer);
    if (!added_) return;
    shell_(NIM_DELETE, &record_);
    added_ = false;
}
