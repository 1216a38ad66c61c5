#include "settings/Settings.h"

#include <cstddef>
#include <limits>

#include "hotkeys/HotkeyBinding.h"
#include "volume/VolumeController.h"

namespace {

// One key of the file. The table's order is the order of the file, and the
// defaults come from a default-made SettingsChoices, so both exist once.
struct SettingField {
    const char* Section;
    const char* Key;
    int ListSize;  // valid indexes are 0 .. ListSize - 1
    int SettingsChoices::*Member;
};

// List sizes come from the lists' own tables, so that an entry added there
// is saved and loaded alike.
constexpr int ModifierListSize = static_cast<int>(ModifierCodes.size());
constexpr int KeyListSize = static_cast<int>(KeyCodes.size());
constexpr int MicKeyListSize = KeyListEntries(HotkeyAction::MicMute);
constexpr int StepListSize = static_cast<int>(StepTexts.size());

constexpr SettingField SettingFields[] = {
    {"Hotkey", "PreVolumeUp", ModifierListSize, &SettingsChoices::PreVolumeUp},
    {"Hotkey", "VolumeUp", KeyListSize, &SettingsChoices::VolumeUp},
    {"Hotkey", "PreVolumeDown", ModifierListSize, &SettingsChoices::PreVolumeDown},
    {"Hotkey", "VolumeDown", KeyListSize, &SettingsChoices::VolumeDown},
    {"Hotkey", "PreMute", ModifierListSize, &SettingsChoices::PreMute},
    {"Hotkey", "Mute", KeyListSize, &SettingsChoices::Mute},
    // After the keys older versions write; a file without them has no
    // microphone key.
    {"Hotkey", "PreMicMute", ModifierListSize, &SettingsChoices::PreMicMute},
    {"Hotkey", "MicMute", MicKeyListSize, &SettingsChoices::MicMute},
    {"Step", "StepUp", StepListSize, &SettingsChoices::StepUp},
    {"Step", "StepDown", StepListSize, &SettingsChoices::StepDown},
    // A section of its own, which older versions pass over.
    {"Display", "ShowLevel", 2, &SettingsChoices::ShowLevel},
    {"Display", "TrayWheel", 2, &SettingsChoices::TrayWheel},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Digits only, at least one; the magnitude may reach 2^31 so that the
// lowest 32-bit number converts once the sign is applied.
std::optional<int64_t> ParseDigits(const std::string& text, std::size_t pos, int base)
{
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    if (pos >= text.size()) return std::nullopt;
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseSignedNumber(const std::string& text)
{
    std::size_t pos = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++pos;
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    }
    const std::optional<int64_t> magnitude = ParseDigits(text, pos, base);
    if (!magnitude) return std::nullopt;
    const int64_t value = negative ? -*magnitude : *magnitude;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

int LoadField(IniStore& store, const SettingField& field, int fallback)
{
    const std::optional<int32_t> value =
        ParseSettingValue(store.ReadString(field.Section, field.Key, ""));
    if (!value || *value < 0 || *value >= field.ListSize) return fallback;
    return *value;
}

}  // namespace

bool operator==(const SettingsChoices& a, const SettingsChoices& b)
{
    for (const SettingField& field : SettingFields) {
        if (a.*field.Member != b.*field.Member) return false;
    }
    return true;
}

std::optional<int32_t> ParseSettingValue(const std::string& text)
{
    std::string number = TrimBlanks(text);
    if (number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) {
        number.replace(0, 2, "$");
    }
    return ParseSignedNumber(number);
}

SettingsChoices LoadSettings(IniStore& store)
{
    const SettingsChoices defaults;
    SettingsChoices choices;
    for (const SettingField& field : SettingFields) {
        choices.*field.Member = LoadField(store, field, defaults.*field.Member);
    }
    return choices;
}

void DefaultHotkeys(SettingsChoices& choices)
{
    const SettingsChoices defaults;
    for (const SettingField& field : SettingFields) {
        if (std::string(field.Section) == "Hotkey") choices.*field.Member = defaults.*field.Member;
    }
}

void SaveSettings(IniStore& store, const SettingsChoices& choices)
{
    std::vector<IniValue> values;
    for (const SettingField& field : SettingFields) {
        values.push_back({field.Section, field.Key, std::to_string(choices.*field.Member)});
    }
    store.WriteAll(values);
}

bool HoldsAllSettings(IniStore& store)
{
    for (const SettingField& field : SettingFields) {
        if (store.ReadString(field.Section, field.Key, "").empty()) return false;
    }
    return true;
}

std::string SettingsFileName(const std::string& appDir) { return appDir + "TB.ini"; }

void LoadOrCreateSettings(IniStore& store, bool fileExists, SettingsChoices& choices)
{
    if (fileExists) {
        choices = LoadSettings(store);
        return;
    }
    DefaultHotkeys(choices);
    SaveSettings(store, choices);
}
