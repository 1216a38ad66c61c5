#include "Notifyicon.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>

static_assert(sizeof(NotifyIconData88) == 88, "first-version NOTIFYICONDATAA is 88 bytes");
static_assert(offsetof(NotifyIconData88, hWnd) == 4);
static_assert(offsetof(NotifyIconData88, uID) == 8);
static_assert(offsetof(NotifyIconData88, uFlags) == 12);
static_assert(offsetof(NotifyIconData88, uCallbackMessage) == 16);
static_assert(offsetof(NotifyIconData88, hIcon) == 20);
static_assert(offsetof(NotifyIconData88, szTip) == 24);
static_assert(offsetof(NotifyIconData88, szTip) == offsetof(NOTIFYICONDATAA, szTip),
              "the shell reads the same leading fields");

bool TrayIconAdded = false;

namespace {

void Send(DWORD message, NotifyIconData88& record)
{
    Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&record));
}

}  // namespace

NotifyIconData88 TrayIconRecord(HWND window, const std::string& tip, HICON icon)
{
    NotifyIconData88 record{};
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
    NotifyIconData88 record = TrayIconRecord(window, tip, icon);
    Send(NIM_ADD, record);
    TrayIconAdded = true;
}

void ModifyTrayIcon(HWND window, const std::string& tip, HICON icon)
{
    if (!TrayIconAdded) return;
    NotifyIconData88 record = TrayIconRecord(window, tip, icon);
    Send(NIM_MODIFY, record);
}

void DeleteTrayIcon(HWND window)
{
    if (!TrayIconAdded) return;
    NotifyIconData88 record = TrayIconRecord(window, "", nullptr);
    Send(NIM_DELETE, record);
    TrayIconAdded = false;
}
