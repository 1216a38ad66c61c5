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

bool TrayIconAdded = false;

namespace {

void Send(DWORD message, NotifyIconDataV1& record)
{
    Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&record));
}

}  // namespace

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

void AddTrayIcon(HWND window, const std::string& tip, HICON icon)
{
    if (TrayIconAdded) return;
    NotifyIconDataV1 record = TrayIconRecord(window, tip, icon);
    Send(NIM_ADD, record);
    TrayIconAdded = true;
}

void ModifyTrayIcon(HWND window, const std::string& tip, HICON icon)
{
    if (!TrayIconAdded) return;
    NotifyIconDataV1 record = TrayIconRecord(window, tip, icon);
    Send(NIM_MODIFY, record);
}

void DeleteTrayIcon(HWND window)
{
    if (!TrayIconAdded) return;
    NotifyIconDataV1 record = TrayIconRecord(window, "", nullptr);
    Send(NIM_DELETE, record);
    TrayIconAdded = false;
}
