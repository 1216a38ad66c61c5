// libFuzzer target over what Tarnbell reads from outside: the values of its
// settings file and the text of a step list. One input is a list of lines;
// the n-th key the loader reads gets the n-th line (keys past the last line
// are missing), and every line is also tried as a step text.
//
// Whatever the input, no index leaves its table, saving and loading again
// gives the same choices, and a hotkey step keeps the slider in range.
// Built with ASan and UBSan by scripts/fuzz.sh; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/TextError.h"
#include "hotkeys/HotkeyBinding.h"
#include "settings/Settings.h"
#include "tests/unit/MemoryIniStore.h"
#include "volume/VolumeController.h"

namespace {

void Require(bool rule, const char* text)
{
    if (rule) return;
    std::fprintf(stderr, "broken rule: %s\n", text);
    std::abort();
}

std::vector<std::string> Lines(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    return lines;
}

// The file as the fuzzer wrote it, read key by key in the loader's order.
class FuzzedStore : public IniStore {
public:
    explicit FuzzedStore(const std::vector<std::string>& lines) : lines_(lines) {}
    std::string ReadString(const std::string&, const std::string&,
                           const std::string& fallback) override
    {
        return next_ < lines_.size() ? lines_[next_++] : fallback;
    }
    void WriteString(const std::string&, const std::string&, const std::string&) override
    {
        Require(false, "loading writes");
    }

private:
    const std::vector<std::string>& lines_;
    std::size_t next_ = 0;
};

template <typename Table>
bool InTable(const Table& table, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

void CheckChoices(const SettingsChoices& c)
{
    for (const HotkeyActionRow& row : HotkeyActionRows) {
        const HotkeyChoice& choice = c.Hotkeys[row.Action];
        Require(InTable(ModifierCodes, choice.Modifier), "modifier index outside its table");
        Require(choice.Key >= 0 && choice.Key < KeyListEntries(row.Action),
                "key index outside its list");
    }
    for (int step : {c.StepUp, c.StepDown})
        Require(step >= 0 && step < static_cast<int>(StepTexts.size()),
                "step index outside its list");
    Require(c.ShowLevel == 0 || c.ShowLevel == 1, "a check box is ticked or not");
    Require(c.TrayWheel == 0 || c.TrayWheel == 1, "a check box is ticked or not");

    HotkeyBindings bindings;
    BuildHotkeyBindings(c.Hotkeys, bindings);
    for (const HotkeyActionRow& row : HotkeyActionRows) {
        const int key = c.Hotkeys[row.Action].Key - (KeyListStartsWithNone(row.Action) ? 1 : 0);
        Require(bindings[row.Action].Key == (key >= 0 ? KeyCodes[key].Code : 0),
                "binding differs from its list entry");
    }
}

void CheckLoading(const std::vector<std::string>& lines)
{
    FuzzedStore file(lines);
    const SettingsChoices loaded = LoadSettings(file);
    CheckChoices(loaded);

    MemoryIniStore saved;
    SaveSettings(saved, loaded);
    // Each action's modifier and key, the two steps and the two boxes.
    Require(saved.Values.size() == 2 * HotkeyActionCount + 4, "a save writes every key once");
    Require(LoadSettings(saved) == loaded, "saved choices load back differently");
}

// The slider's side of a step: any step text either is refused or moves the
// slider inside its range.
class Controls : public VolumeControls {
public:
    std::string Step;
    int Position = FullVolume / 2;
    void ClearChannels() override {}
    void AddChannel(const std::string&) override {}
    void SelectChannel(int) override {}
    int SelectedChannel() const override { return -1; }
    int SliderPosition() const override { return Position; }
    void SetSliderPosition(int position) override { Position = position; }
    bool MuteChecked() const override { return false; }
    void SetMuteChecked(bool) override {}
    std::string StepUpText() const override { return Step; }
    std::string StepDownText() const override { return Step; }
    void UpdateTrayIcon() override {}
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckStep(const std::string& text)
{
    int percent = 0;
    try {
        percent = StepPercent(text);
    } catch (const TextError&) {
        return;
    }
    // Taken: an optional sign and digits only, before the last character.
    const std::string number = text.substr(0, text.size() - 1);
    for (std::size_t i = 0; i < number.size(); ++i)
        Require(IsDigit(number[i]) || (i == 0 && (number[i] == '+' || number[i] == '-')),
                "a step text with more than a sign and digits is taken");
    Require(StepPercent(std::to_string(percent) + "%") == percent, "a step reads back differently");

    Controls controls;
    controls.Step = text;
    VolumeController controller(controls, nullptr);
    for (HotkeyAction step :
         {HotkeyAction::VolumeUp, HotkeyAction::VolumeDown, HotkeyAction::VolumeUp}) {
        controller.HotkeyAction(step);
        Require(controls.Position >= 0 && controls.Position <= FullVolume,
                "slider outside its range");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::vector<std::string> lines = Lines(data, size);
    CheckLoading(lines);
    for (const std::string& line : lines) {
        const std::optional<int32_t> value = ParseSettingValue(line);
        if (value)
            Require(ParseSettingValue(std::to_string(*value)) == value,
                    "a setting value reads back differently");
        CheckStep(line);
    }
    return 0;
}
