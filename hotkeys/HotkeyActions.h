#pragma once
// The hotkey actions, the table type that keeps one value per action, and
// the message the detector posts to the main window for a recognised press.

#include <array>
#include <cstddef>
#include <cstdint>

// WM_USER + 1 (this header is free of Windows; app/WindowMessages.h
// keeps every message of the program together).
constexpr unsigned int WM_HOTKEYACTION = 0x0400 + 1;

// MicMute mutes every microphone or gives them back.
enum class HotkeyAction { VolumeUp, VolumeDown, MuteToggle, MicMute };

// Every action, in the order the detector looks for them: when several are
// held, the first one wins.
inline constexpr std::array<HotkeyAction, 4> AllHotkeyActions{
    {HotkeyAction::VolumeUp, HotkeyAction::VolumeDown, HotkeyAction::MuteToggle,
     HotkeyAction::MicMute}};

// A held volume key repeats its action; a toggle happens once a press.
constexpr bool Repeats(HotkeyAction action)
{
    return action == HotkeyAction::VolumeUp || action == HotkeyAction::VolumeDown;
}

// One value per action, indexed by the action.
template <typename T>
struct PerHotkeyAction {
    T Rows[AllHotkeyActions.size()];

    constexpr T& operator[](HotkeyAction action) { return Rows[static_cast<std::size_t>(action)]; }
    constexpr const T& operator[](HotkeyAction action) const
    {
        return Rows[static_cast<std::size_t>(action)];
    }
};

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
    case HotkeyAction::MicMute: return {0, 2};
    case HotkeyAction::VolumeUp: break;
    }
    return {0, 0};
}

// The receiving window's reading: LParam decides first (2: microphones, any
// other non-zero value: mute), then WParam (down, when not 0).
constexpr HotkeyAction ActionOf(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (lParam == 2) return HotkeyAction::MicMute;
    if (lParam != 0) return HotkeyAction::MuteToggle;
    if (wParam != 0) return HotkeyAction::VolumeDown;
    return HotkeyAction::VolumeUp;
}
