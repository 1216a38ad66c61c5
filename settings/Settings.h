#pragma once
// Tarnbell's settings file TB.ini: the item indexes of the main window's
// hotkey lists (two per row of HotkeyActionRows) and two step lists, whether the level shows on
// screen and whether the wheel over the tray icon changes the volume, read at start and written
// after every change. The logic here is free of Windows; the file itself is reached through an
// IniStore (PrivateProfileStore on Windows).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/HotkeyActions.h"

// One key's value as it is written.
struct IniValue {
    std::string Section;
    std::string Key;
    std::string Value;
};

// One INI file, key by key.
class IniStore {
public:
    virtual ~IniStore() = default;

    // The value of the key, or fallback when the key is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& fallback) = 0;
    // Throws when the value cannot be written.
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // Writes several keys as one change. A store over a file overrides this
    // so that the file holds either all of them or none; here they are
    // written one by one.
    virtual void WriteAll(const std::vector<IniValue>& values)
    {
        for (const IniValue& v : values)
            WriteString(v.Section, v.Key, v.Value);
    }
};

// The selected item index of each list. -1 stands for a list with no
// selection; it is saved as it is. A default-made value holds the defaults.
struct SettingsValues {
    HotkeyChoices Hotkeys = DefaultHotkeyChoices();  // one modifier and key per action
    int StepUp = 5;                                  // "10%"
    int StepDown = 5;                                // "10%"
    int ShowLevel = 1;                               // "Show level on screen" ticked: 1, not: 0
    int TrayWheel = 1;  // "Scroll over the tray icon changes the volume" ticked: 1
};

// The values, and the first four actions' lists by the names of their
// TB.ini keys; a copy copies the values and keeps its own names.
struct SettingsChoices : SettingsValues {
    SettingsChoices() = default;
    SettingsChoices(const SettingsChoices& other) : SettingsValues(other) {}
    SettingsChoices& operator=(const SettingsChoices& other)
    {
        SettingsValues::operator=(other);
        return *this;
    }

    int& PreVolumeUp = Hotkeys[HotkeyAction::VolumeUp].Modifier;
    int& VolumeUp = Hotkeys[HotkeyAction::VolumeUp].Key;
    int& PreVolumeDown = Hotkeys[HotkeyAction::VolumeDown].Modifier;
    int& VolumeDown = Hotkeys[HotkeyAction::VolumeDown].Key;
    int& PreMute = Hotkeys[HotkeyAction::MuteToggle].Modifier;
    int& Mute = Hotkeys[HotkeyAction::MuteToggle].Key;
    int& PreMicMute = Hotkeys[HotkeyAction::MicMute].Modifier;
    int& MicMute = Hotkeys[HotkeyAction::MicMute].Key;
};

bool operator==(const SettingsChoices& a, const SettingsChoices& b);

// A stored value as an integer: decimal with an optional sign, or hexadecimal
// after "$" (the sign goes before it), or after "0x"/"0X" when more follows.
// Blanks around the text are ignored. Nothing when the text does not convert
// or the number does not fit into 32 bits.
std::optional<int32_t> ParseSettingValue(const std::string& text);

// Every choice from the file; a key that is missing, does not convert or
// lies outside its list gives that list's default.
SettingsChoices LoadSettings(IniStore& store);

// The hotkey lists back to their defaults; the steps and the display
// choice stay.
void DefaultHotkeys(SettingsChoices& choices);

// Writes every key as one change, Hotkey section first.
void SaveSettings(IniStore& store, const SettingsChoices& choices);

// True if the file holds a value for every key a save writes: a copy that
// a cut save left is whole only then.
bool HoldsAllSettings(IniStore& store);

// "TB.ini" in the program's folder; appDir ends with a backslash.
std::string SettingsFileName(const std::string& appDir);

// The start-up rule: an existing file is loaded; otherwise the hotkeys go
// to their defaults and the file is written. The choices are changed in
// place before the write, so they stay in effect when the write throws.
void LoadOrCreateSettings(IniStore& store, bool fileExists, SettingsChoices& choices);
