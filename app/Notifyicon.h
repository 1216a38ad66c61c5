#pragma once
// The program's one icon in the notification area.
#include <windows.h>

#include <string>

#include "app/WindowMessages.h"

// The tray icon's id; its callback message is WM_TRAYNOTIFY.
constexpr UINT TrayIconId = 104;

// True while the icon is in the notification area as far as we know.
extern bool TrayIconAdded;

void AddTrayIcon(HWND window, const std::string& tip, HICON icon);
void ModifyTrayIcon(HWND window, const std::string& tip, HICON icon);
void DeleteTrayIcon(HWND window);

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
