#pragma once
// The display scale: how many dots per inch a window or a monitor has, and
// the one rule that turns a size made for 96 dots per inch into pixels.
#include <windows.h>

// 96 where the system cannot tell.
UINT DpiForWindow(HWND window);
// 96 where the system cannot tell; the system's scale where Windows has one
// scale for every monitor.
UINT DpiForMonitor(HMONITOR monitor);
// `value96` pixels at 96 dots per inch, at `dpi`, rounded to the nearest.
int ScaleForDpi(int value96, UINT dpi);
