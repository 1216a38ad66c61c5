// Tarnbell: the program entry. One instance per executable name; the main
// window lives in the notification area until Exit.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/GlobeVar.h"
#include "app/Main.h"
#include "app/formAbout.h"
#include "common/Utf16.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

// The running executable's file name, without its directory.
std::string ExecutableFileName()
{
    std::string full = ExecutablePath();
    return full.substr(full.find_last_of("\\/") + 1);
}

// True if another instance runs under the same file name. The mutex is never
// closed: it marks this instance for as long as the process lives.
bool AnotherInstanceRuns()
{
    CreateMutexW(nullptr, FALSE, Utf16(ExecutableFileName()).c_str());
    return GetLastError() == ERROR_ALREADY_EXISTS;
}

int RunMessageLoop(HWND mainWindow)
{
    MSG message{};  // a failed GetMessage leaves it as it was
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab and arrow keys move between the window's controls; the
        // program's own messages go straight to the window.
        if (message.message < WM_USER && IsDialogMessageA(mainWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    // Components and help are loaded by full path only.
    SetDllDirectoryA("");
    if (AnotherInstanceRuns()) return 0;

    ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    TfrmAbout frmAbout;
    TfrmMain frmMain(frmAbout);
    HWND mainWindow = frmMain.Create();
    if (!mainWindow) return 1;
    frmAbout.Create(mainWindow);
    frmMain.ShowFirstTime(showCommand);
    return RunMessageLoop(mainWindow);
}
