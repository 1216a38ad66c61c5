// Tarnbell: the program entry. One instance per executable name, in any
// case; the main window lives in the notification area until Exit.
#include <windows.h>
#include <commctrl.h>

#include "app/GlobeVar.h"
#include "app/Main.h"
#include "app/formAbout.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

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
    if (AnotherInstanceRuns(InstanceName(ExecutablePath()))) return 0;

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
