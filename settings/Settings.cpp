#include "settings/Settings.h"

#include <cstddef>
#include <limits>
#include <type_traits>
#include <utility>

#include "hotkeys/HotkeyBinding.h"
#include "volume/VolumeController.h"

namespace {

// One key of the file and the choice it holds. The hotkeys' keys come
// from HotkeyActionRows, so that a row added there is saved and loaded
// alike; list sizes come from the lists' own tables. The order is the
// order of the file, and the defaults come from a default-made
// SettingsChoices, so both exist once.
template <typename Choice>
struct SettingField {
    const char* Section;
    const char* Key;
    int ListSize;  // valid indexes are 0 .. ListSize - 1
    Choice* Value;
};

constexpr int ModifierListSize = static_cast<int>(ModifierCodes.size());
constexpr int StepListSize = static_cast<int>(StepTexts.size());

// Every key of `values` (a SettingsValues, const or not).
template <typename Values,
          typename Choice = std::remove_reference_t<decltype((std::declval<Values&>().StepUp))>>
std::vector<SettingField<Choice>> FieldsOf(Values& values)
{
    std::vector<SettingField<Choice>> fields;
    for (const HotkeyActionRow& row : HotkeyActionRows) {
        auto& choice = values.Hotkeys[row.Action];
        fields.push_back({"Hotkey", row.ModifierKey, ModifierListSize, &choice.Modifier});
        fields.push_back({"Hotkey", row.KeyKey, KeyListEntries(row.Action), &choice.Key});
    }
    fields.push_back({"Step", "StepUp", StepListSize, &values.StepUp});
    fields.push_back({"Step", "StepDown", StepListSize, &values.StepDown});
    // A section of its own, which older versions pass over.
    fields.push_back({"Display", "ShowLevel", 2, &values.ShowLevel});
    fields.push_back({"Display", "TrayWheel", 2, &values.TrayWheel});
    return fields;
}

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

int LoadField(IniStore& store, const SettingField<int>& field, int fallback)
{
    const std::optional<int32_t> value =
        ParseSettingValue(store.ReadString(field.Section, field.Key, ""));
    if (!value || *value < 0 || *value >= field.ListSize) return fallback;
    return *value;
}

}  // namespace

bool operator==(const SettingsChoices& a, const SettingsChoices& b)
{
    const auto fieldsOfA = FieldsOf(a);
    const auto fieldsOfB = FieldsOf(b);
    for (std::size_t i = 0; i < fieldsOfA.size(); ++i) {
        if (*fieldsOfA[i].Value != *fieldsOfB[i].Value) return false;
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
    const auto defaultFields = FieldsOf(defaults);
    const auto fields = FieldsOf(choices);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        *fields[i].Value = LoadField(store, fields[i], *defaultFields[i].Value);
    }
    return choices;
}

void DefaultHotkeys(SettingsChoices& choices) { choices.Hotkeys = SettingsChoices{}.Hotkeys; }

void SaveSettings(IniStore& store, const SettingsChoices& choices)
{
    std::vector<IniValue> values;
    for (const auto& field : FieldsOf(choices)) {
        values.push_back({field.Section, field.Key, std::to_string(*field.Value)});
    }
    store.WriteAll(values);
}

bool HoldsAllSettings(IniStore& store)
{
    SettingsChoices keys;
    for (const auto& field : FieldsOf(keys)) {
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
