#include "ForegroundApp.h"

#include <windows.h>

namespace {

constexpr const char* HostedContentClass = "Windows.UI.Core.CoreWindow";

struct Search {
    DWORD frameProcess;
    DWORD hosted;
};

// A Store app's frame holds the app's own window, of the class Windows
// gives every such app, as a child that belongs to the app's process.
BOOL CALLBACK FindHostedContent(HWND child, LPARAM found)
{
    Search& search = *reinterpret_cast<Search*>(found);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    DWORD process = 0;
    GetWindowThreadProcessId(child, &process);
    if (lstrcmpA(name, HostedContentClass) != 0 || process == search.frameProcess) return TRUE;
    search.hosted = process;
    return FALSE;
}

}  // namespace

uint32_t ForegroundAppProcess()
{
    const HWND window = GetForegroundWindow();
    if (!window) return 0;
    Search search{0, 0};
    GetWindowThreadProcessId(window, &search.frameProcess);
    EnumChildWindows(window, FindHostedContent, reinterpret_cast<LPARAM>(&search));
    return search.hosted ? search.hosted : search.frameProcess;
}
