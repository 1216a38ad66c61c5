#pragma once
// The message the detector posts to the main window for a recognised
// hotkey press, and how its parameters tell the three actions apart.

#include <cstdint>

// WM_USER + 1 (this header is free of Windows; app/WindowMessages.h
// keeps every message of the program together).
constexpr unsigned int WM_HOTKEYACTION = 0x0400 + 1;

enum class HotkeyAction { VolumeUp, VolumeDown, MuteToggle };

// Same widths as WPARAM and LPARAM on Windows.
struct HotkeyActionParams {
    std::uintptr_t WParam;
    std::intptr_t LParam;
};

constexpr HotkeyActionParams ParamsOf(HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::VolumeDown: return {1, 0};
    case HotkeyAction::MuteToggle: return {0, 1};
    case HotkeyAction::VolumeUp: break;
    }
    return {0, 0};
}

// The receiving side: LParam decides first (mute), then WParam (down);
// any non-zero value counts.
constexpr HotkeyAction ActionOf(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (lParam != 0) return HotkeyAction::MuteToggle;
    if (wParam != 0) return HotkeyAction::VolumeDown;
    return HotkeyAction::VolumeUp;
}
