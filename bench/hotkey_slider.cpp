// Reference for hotkey latency: the system's own hotkeys (RegisterHotKey)
// for Numpad + and -, each moving a trackbar by a tenth of its range, as
// Tarnbell's default steps do.
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr int Range = 65535;
constexpr int Step = Range / 10;
enum { HotkeyUp = 1, HotkeyDown = 2 };

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_HOTKEY: {
        HWND slider = GetDlgItem(window, 1);
        LRESULT position = SendMessageA(slider, TBM_GETPOS, 0, 0);
        position += wParam == HotkeyUp ? Step : -Step;
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BenchHotkeySlider";
    RegisterClassA(&windowClass);
    // Hidden, like Tarnbell's window in the notification area.
    HWND window = CreateWindowExA(0, "BenchHotkeySlider", "Hotkey slider", WS_OVERLAPPEDWINDOW, 0,
                                  0, 300, 100, nullptr, nullptr, instance, nullptr);
    HWND slider = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_HORZ, 10, 10,
                                  260, 30, window, reinterpret_cast<HMENU>(1), instance, nullptr);
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(slider, TBM_SETRANGEMAX, TRUE, Range);
    SendMessageA(slider, TBM_SETPOS, TRUE, Range / 2);
    RegisterHotKey(window, HotkeyUp, 0, VK_ADD);
    RegisterHotKey(window, HotkeyDown, 0, VK_SUBTRACT);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
