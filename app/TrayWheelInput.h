#pragma once
// The mouse wheel over the tray icon. The shell reports no wheel to an icon,
// so it is read as raw input, and only while the icon is under the pointer:
// at rest nothing is registered and no timer runs. Raw input takes nothing
// away from the window under the pointer: every wheel event still reaches it.
#include <windows.h>

#include "volume/TrayWheel.h"

class TTrayWheelInput {
public:
    TTrayWheelInput() = default;
    ~TTrayWheelInput() { Stop(); }
    TTrayWheelInput(const TTrayWheelInput&) = delete;
    TTrayWheelInput& operator=(const TTrayWheelInput&) = delete;

    // A mouse-move callback of `window`'s icon `iconId`: the wheel counts
    // from now on, until the pointer leaves the icon.
    void PointerMovedOverIcon(HWND window, UINT iconId);
    // The window's TrayHoverTimer: ends the hover once the pointer has gone.
    void CheckPointer();
    // WM_INPUT: the whole notches the wheel turned over the icon, up
    // positive; 0 for any other input.
    int Notches(LPARAM rawInput);
    // Gives the raw input and the timer back.
    void Stop();

private:
    bool StillOver(POINT pointer);

    HWND window_ = nullptr;
    UINT iconId_ = 0;
    TTrayHover hover_;
    TWheelNotches notches_;
};
