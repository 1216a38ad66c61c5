#pragma once
// The display scale: the DPI a window or monitor is drawn at, and the one
// rule by which the window's 96-DPI design is scaled to it.
#include <windows.h>

// The DPI of the monitor a window is on; 96 where the system cannot tell.
UINT DpiForWindow(HWND window);
// The DPI of a monitor; the system's DPI before Windows 8.1, and 96 where
// the system cannot tell.
UINT DpiForMonitor(HMONITOR monitor);
// The DPI of the task bar's monitor, which the notification area is drawn
// at; the primary monitor's where there is no task bar.
UINT TaskbarDpi();
// The size of a small icon (a tray image) at `dpi`.
int SmallIconSizeForDpi(UINT dpi);
// A length of the 96-DPI design at `dpi`, rounded to the nearest pixel
// (halves away from zero).
int ScaleForDpi(int value96, UINT dpi);
