#include "TrayWheelInput.h"

#include <shellapi.h>

#include "app/WinUi.h"
#include "app/WindowMessages.h"

namespace {

constexpr USHORT GenericDesktopControls = 0x01;  // HID usage page
constexpr USHORT Mouse = 0x02;                   // HID usage within it

void RegisterMouse(DWORD flags, HWND target)
{
    RAWINPUTDEVICE mouse{GenericDesktopControls, Mouse, flags, target};
    RegisterRawInputDevices(&mouse, 1, sizeof mouse);
}

// Where the shell shows the icon; false where it cannot tell (before
// Windows 7, or a shell that does not implement it).
bool IconRect(HWND window, UINT iconId, ScreenRect& at)
{
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const auto getRect =
        OptionalExport<GetRect>(GetModuleHandleA("shell32.dll"), "Shell_NotifyIconGetRect");
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = iconId;
    RECT rect{};
    if (!getRect || FAILED(getRect(&icon, &rect))) return false;
    at = {rect.left, rect.top, rect.right, rect.bottom};
    return true;
}

}  // namespace

void TTrayWheelInput::PointerMovedOverIcon(HWND window, UINT iconId)
{
    POINT pointer{};
    GetCursorPos(&pointer);
    const bool started = !hover_.Hovered();
    hover_.PointerMovedOverIcon({pointer.x, pointer.y});
    if (!started) return;
    window_ = window;
    iconId_ = iconId;
    notches_.Clear();
    // Sink: the wheel counts also while another program has the focus.
    RegisterMouse(RIDEV_INPUTSINK, window_);
    SetTimer(window_, TrayHoverTimer, TrayHoverInterval, nullptr);
}

void TTrayWheelInput::CheckPointer()
{
    POINT pointer{};
    GetCursorPos(&pointer);
    if (!StillOver(pointer)) Stop();
}

int TTrayWheelInput::Notches(LPARAM rawInput)
{
    RAWINPUT input{};
    UINT size = sizeof input;
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(rawInput), RID_INPUT, &input, &size,
                        sizeof input.header) == static_cast<UINT>(-1))
        return 0;
    if (input.header.dwType != RIM_TYPEMOUSE || !(input.data.mouse.usButtonFlags & RI_MOUSE_WHEEL))
        return 0;
    // The pointer may have left since the last look. Judged where it was
    // when the wheel turned: a notch read late counts where it happened.
    const DWORD at = GetMessagePos();
    if (!StillOver({static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))})) {
        Stop();
        return 0;
    }
    return notches_.Add(static_cast<SHORT>(input.data.mouse.usButtonData));
}

void TTrayWheelInput::Stop()
{
    if (!window_) return;
    RegisterMouse(RIDEV_REMOVE, nullptr);
    KillTimer(window_, TrayHoverTimer);
    hover_.End();
    window_ = nullptr;
}

bool TTrayWheelInput::StillOver(POINT pointer)
{
    if (!hover_.Hovered()) return false;
    ScreenRect icon{};
    const bool told = IconRect(window_, iconId_, icon);
    return hover_.StillOver({pointer.x, pointer.y}, told ? &icon : nullptr);
}
