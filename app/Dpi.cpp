#include "Dpi.h"

#include "app/WinUi.h"

namespace {

constexpr UINT DesignDpi = 96;

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DesignDpi;
}

}  // namespace

UINT DpiForWindow(HWND window)
{
    // Windows 10 1607 and later know each window's DPI; before it, the
    // window's monitor tells.
    using ForWindow = UINT(WINAPI*)(HWND);
    auto forWindow = OptionalExport<ForWindow>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    UINT dpi = forWindow ? forWindow(window) : 0;
    if (dpi) return dpi;
    return DpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY));
}

UINT DpiForMonitor(HMONITOR monitor)
{
    // shcore.dll comes with Windows 8.1; before it every monitor has the
    // system's DPI. It is looked up once and stays loaded.
    using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    constexpr int EffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    static const auto forMonitor = OptionalExport<ForMonitor>(
        LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (forMonitor && monitor && SUCCEEDED(forMonitor(monitor, EffectiveDpi, &x, &y)) && x)
        return x;
    return SystemDpi();
}

UINT TaskbarDpi()
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    return DpiForMonitor(taskbar ? MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY)
                                 : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

int SmallIconSizeForDpi(UINT dpi)
{
    // Windows 10 1607 and later answer for any DPI; before it the metric
    // is the system's, scaled here.
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi =
        OptionalExport<ForDpi>(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi");
    if (forDpi) return forDpi(SM_CXSMICON, dpi);
    return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi),
                  static_cast<int>(SystemDpi()));
}

int ScaleForDpi(int value96, UINT dpi) { return MulDiv(value96, static_cast<int>(dpi), DesignDpi); }
