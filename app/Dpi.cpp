#include "Dpi.h"

#include <memory>

#include "app/GlobeVar.h"
#include "app/WinUi.h"

namespace {

constexpr UINT DefaultDpi = 96;

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

}  // namespace

UINT DpiForWindow(HWND window)
{
    using Query = UINT(WINAPI*)(HWND);
    auto query = OptionalExport<Query>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    UINT dpi = query ? query(window) : 0;
    return dpi ? dpi : DpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

UINT DpiForMonitor(HMONITOR monitor)
{
    // Each monitor has a scale of its own from Windows 8.1 on; the library
    // that tells it is loaded from the system folder only.
    using Query = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    constexpr int EffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the scale the user chose
    std::unique_ptr<std::remove_pointer_t<HMODULE>, HandleFree<HMODULE, FreeLibrary>> shcore(
        LoadLibraryA((SystemDirectory() + "\\shcore.dll").c_str()));
    auto query = OptionalExport<Query>(shcore.get(), "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (query && SUCCEEDED(query(monitor, EffectiveDpi, &x, &y)) && x) return x;
    return SystemDpi();
}

int ScaleForDpi(int value96, UINT dpi)
{
    return MulDiv(value96, static_cast<int>(dpi), static_cast<int>(DefaultDpi));
}
