#pragma once
// The hotkey choice tables behind the main window's hotkey lists, the
// bindings built from them (one per action), and the operation that builds
// them.

#include <array>
#include <atomic>
#include <cstdint>

#include "hotkeys/HotkeyActions.h"

// One hotkey as Windows virtual-key codes; 0 means "no modifier", and a Key
// of 0 is never held. The main thread writes the fields while the detector
// thread reads them without a lock, so each one is atomic on its own.
struct HotkeyBinding {
    std::atomic<std::int32_t> Modifier1{0};
    std::atomic<std::int32_t> Modifier2{0};
    std::atomic<std::int32_t> Key{0};
};

using HotkeyBindings = PerHotkeyAction<HotkeyBinding>;

// The process-wide bindings the detector reads, and their rows by name.
extern HotkeyBindings Hotkeys;
inline HotkeyBinding& VolumeUpHotkey = Hotkeys[HotkeyAction::VolumeUp];
inline HotkeyBinding& VolumeDownHotkey = Hotkeys[HotkeyAction::VolumeDown];
inline HotkeyBinding& MuteHotkey = Hotkeys[HotkeyAction::MuteToggle];
inline HotkeyBinding& MicMuteHotkey = Hotkeys[HotkeyAction::MicMute];

struct ModifierRow {
    const char* Text;
    std::int32_t Modifier1;
    std::int32_t Modifier2;
};

struct KeyRow {
    const char* Text;
    std::int32_t Code;
};

// Ctrl, Alt and Shift codes that stand for either key of the pair.
constexpr std::int32_t VkCtrl = 0x11;
constexpr std::int32_t VkAlt = 0x12;
constexpr std::int32_t VkShift = 0x10;

// A modifier list shows these texts in this order; its item index is the row.
inline constexpr std::array<ModifierRow, 7> ModifierCodes{{
    {"<None>", 0, 0},
    {"Ctrl", VkCtrl, 0},
    {"Alt", VkAlt, 0},
    {"Shift", VkShift, 0},
    {"Ctrl+Alt", VkCtrl, VkAlt},
    {"Ctrl+Shift", VkCtrl, VkShift},
    {"Shift+Alt", VkShift, VkAlt},
}};

// A key list shows these texts in this order; its item index is the row.
// Digits and letters use their character code; the last four are keys of
// the numeric keypad, not the main keyboard's + - * /.
inline constexpr std::array<KeyRow, 59> KeyCodes{{
    {"`", 0xC0},        {"0", 0x30},        {"1", 0x31},        {"2", 0x32},        {"3", 0x33},
    {"4", 0x34},        {"5", 0x35},        {"6", 0x36},        {"7", 0x37},        {"8", 0x38},
    {"9", 0x39},        {"A", 0x41},        {"B", 0x42},        {"C", 0x43},        {"D", 0x44},
    {"E", 0x45},        {"F", 0x46},        {"G", 0x47},        {"H", 0x48},        {"I", 0x49},
    {"J", 0x4A},        {"K", 0x4B},        {"L", 0x4C},        {"M", 0x4D},        {"N", 0x4E},
    {"O", 0x4F},        {"P", 0x50},        {"Q", 0x51},        {"R", 0x52},        {"S", 0x53},
    {"T", 0x54},        {"U", 0x55},        {"V", 0x56},        {"W", 0x57},        {"X", 0x58},
    {"Y", 0x59},        {"Z", 0x5A},        {"Insert", 0x2D},   {"Delete", 0x2E},   {"Home", 0x24},
    {"End", 0x23},      {"PageUp", 0x21},   {"PageDown", 0x22}, {"F1", 0x70},       {"F2", 0x71},
    {"F3", 0x72},       {"F4", 0x73},       {"F5", 0x74},       {"F6", 0x75},       {"F7", 0x76},
    {"F8", 0x77},       {"F9", 0x78},       {"F10", 0x79},      {"F11", 0x7A},      {"F12", 0x7B},
    {"Numpad +", 0x6B}, {"Numpad -", 0x6D}, {"Numpad *", 0x6A}, {"Numpad /", 0x6F},
}};

// An action whose key list starts with "<None>" (KeyList::NoneFirst).
constexpr const char* NoKeyText = "<None>";
constexpr bool KeyListStartsWithNone(HotkeyAction action)
{
    return RowOf(action).Keys == KeyList::NoneFirst;
}
constexpr int KeyListEntries(HotkeyAction action)
{
    return static_cast<int>(KeyCodes.size()) + (KeyListStartsWithNone(action) ? 1 : 0);
}

// Rewrites every binding in place from its action's choice, in action order
// and Modifier1, Modifier2, Key within each. A choice with an index
// outside its table gives (0, 0, 0), a binding that never fires.
void BuildHotkeyBindings(const HotkeyChoices& choices, HotkeyBindings& bindings);

// For each action, whether another action has the very same keys: only the
// earlier one of them ever fires. Actions without a key clash with none.
PerHotkeyAction<bool> ActionsSharingKeys(const HotkeyChoices& choices);
