#pragma once
// The hotkey actions: one row each in HotkeyActionRows, which everything
// else reads (the window's rows, TB.ini, the detector, the tests). Also the
// table type that keeps one value per action, and the message the detector
// posts to the main window for a recognised press.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

// WM_USER + 1 (this header is free of Windows; app/WindowMessages.h
// keeps every message of the program together).
constexpr unsigned int WM_HOTKEYACTION = 0x0400 + 1;

// What a press does; the main window switches on it (TfrmMain's
// HotkeyActionMessage). MicMute mutes every microphone or gives them back;
// NextOutput makes the next output Windows' default; the App actions act on
// the program whose window is in front. One name per row of
// HotkeyActionRows, in the same order.
enum class HotkeyAction {
    VolumeUp,
    VolumeDown,
    MuteToggle,
    MicMute,
    NextOutput,
    AppUp,
    AppDown,
    AppMute
};

// The selected item indexes of one action's modifier list and key list;
// -1 when the list has no selection.
struct HotkeyChoice {
    int Modifier;
    int Key;
};

// Same widths as WPARAM and LPARAM on Windows.
struct HotkeyActionParams {
    std::uintptr_t WParam;
    std::intptr_t LParam;
};

// A key list shows KeyCodes, or "<None>" first and then KeyCodes: an action
// that stays off until the user picks a key, so that no update starts doing
// something new with a key someone already uses.
enum class KeyList { KeysOnly, NoneFirst };

// A held volume key repeats its action; a toggle happens once a press.
enum class WhileHeld { Repeats, OncePerPress };

struct HotkeyActionRow {
    HotkeyAction Action;
    const char* Label;        // beside the action's lists in the window
    int LabelLeft;            // in the Hotkey group at 96 DPI: the labels end together
    const char* ModifierKey;  // the [Hotkey] keys of TB.ini
    const char* KeyKey;
    HotkeyChoice Default;  // list indexes; for NoneFirst, "<None>" is key 0
    KeyList Keys;
    HotkeyActionParams Params;  // of WM_HOTKEYACTION
    WhileHeld Held;
};

// Every action, in the order of the window's rows and of TB.ini; among
// bindings that are equally specific, the earlier row wins. A row added
// later goes last, so that its keys follow the older ones in the file.
// One line per action:
// clang-format off
inline constexpr HotkeyActionRow HotkeyActionRows[] = {
    // action, label, its left, TB.ini keys, default (list indexes), key list, message, held
    {HotkeyAction::VolumeUp, "Volume up", 24, "PreVolumeUp", "VolumeUp", {0, 55} /* Numpad + */, KeyList::KeysOnly, {0, 0}, WhileHeld::Repeats},
    {HotkeyAction::VolumeDown, "Volume down", 10, "PreVolumeDown", "VolumeDown", {0, 56} /* Numpad - */, KeyList::KeysOnly, {1, 0}, WhileHeld::Repeats},
    {HotkeyAction::MuteToggle, "Mute", 50, "PreMute", "Mute", {0, 57} /* Numpad * */, KeyList::KeysOnly, {0, 1}, WhileHeld::OncePerPress},
    {HotkeyAction::MicMute, "Microphone", 18, "PreMicMute", "MicMute", {0, 0}, KeyList::NoneFirst, {0, 2}, WhileHeld::OncePerPress},
    {HotkeyAction::NextOutput, "Output", 42, "PreNextOutput", "NextOutput", {0, 0}, KeyList::NoneFirst, {0, 4}, WhileHeld::OncePerPress},
    {HotkeyAction::AppUp, "App up", 40, "PreAppUp", "AppUp", {0, 0}, KeyList::NoneFirst, {0, 5}, WhileHeld::Repeats},
    {HotkeyAction::AppDown, "App down", 26, "PreAppDown", "AppDown", {0, 0}, KeyList::NoneFirst, {0, 6}, WhileHeld::Repeats},
    {HotkeyAction::AppMute, "App mute", 29, "PreAppMute", "AppMute", {0, 0}, KeyList::NoneFirst, {0, 7}, WhileHeld::OncePerPress},
};
// clang-format on

constexpr std::size_t HotkeyActionCount = std::size(HotkeyActionRows);

constexpr const HotkeyActionRow& RowOf(HotkeyAction action)
{
    return HotkeyActionRows[static_cast<std::size_t>(action)];
}

constexpr bool RowsFollowTheEnum()
{
    for (std::size_t i = 0; i < HotkeyActionCount; ++i)
        if (static_cast<std::size_t>(HotkeyActionRows[i].Action) != i) return false;
    return true;
}
static_assert(RowsFollowTheEnum(), "row N of HotkeyActionRows is the action N");

constexpr std::array<HotkeyAction, HotkeyActionCount> ActionsOfRows()
{
    std::array<HotkeyAction, HotkeyActionCount> actions{};
    for (std::size_t i = 0; i < HotkeyActionCount; ++i)
        actions[i] = HotkeyActionRows[i].Action;
    return actions;
}

// Every action, in the table's order.
inline constexpr std::array<HotkeyAction, HotkeyActionCount> AllHotkeyActions = ActionsOfRows();

constexpr bool Repeats(HotkeyAction action) { return RowOf(action).Held == WhileHeld::Repeats; }

// One value per action, indexed by the action.
template <typename T>
struct PerHotkeyAction {
    T Rows[HotkeyActionCount];

    constexpr T& operator[](HotkeyAction action) { return Rows[static_cast<std::size_t>(action)]; }
    constexpr const T& operator[](HotkeyAction action) const
    {
        return Rows[static_cast<std::size_t>(action)];
    }
};

using HotkeyChoices = PerHotkeyAction<HotkeyChoice>;

constexpr HotkeyChoices DefaultHotkeyChoices()
{
    HotkeyChoices choices{};
    for (const HotkeyActionRow& row : HotkeyActionRows)
        choices[row.Action] = row.Default;
    return choices;
}

constexpr HotkeyActionParams ParamsOf(HotkeyAction action) { return RowOf(action).Params; }

// The receiving window's reading: the row that sends these parameters.
// Others (from an older sender) are read as they always were: LParam
// decides first (any non-zero value: mute), then WParam (down, when not 0).
constexpr HotkeyAction ActionOf(std::uintptr_t wParam, std::intptr_t lParam)
{
    for (const HotkeyActionRow& row : HotkeyActionRows)
        if (row.Params.WParam == wParam && row.Params.LParam == lParam) return row.Action;
    if (lParam != 0) return HotkeyAction::MuteToggle;
    if (wParam != 0) return HotkeyAction::VolumeDown;
    return HotkeyAction::VolumeUp;
}
