#include "settings/Settings.h"

#include "tests/unit/MemoryIniStore.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Readable failure messages for whole sets of choices.
void PrintTo(const SettingsChoices& c, std::ostream* out)
{
    *out << "{" << c.PreVolumeUp << ", " << c.VolumeUp << ", " << c.PreVolumeDown << ", "
         << c.VolumeDown << ", " << c.PreMute << ", " << c.Mute << ", " << c.PreMicMute << ", "
         << c.MicMute << " | " << c.StepUp << ", " << c.StepDown << " | " << c.ShowLevel << ", "
         << c.TrayWheel << "}";
}

namespace {

// Every key holds a different in-range value, so a key read into the wrong
// choice shows up.
SettingsChoices DistinctChoices()
{
    SettingsChoices c;
    c.PreVolumeUp = 1;
    c.VolumeUp = 2;
    c.PreVolumeDown = 3;
    c.VolumeDown = 4;
    c.PreMute = 5;
    c.Mute = 6;
    c.PreMicMute = 2;
    c.MicMute = 59;  // "Numpad /", last of the microphone's longer list
    c.Hotkeys[HotkeyAction::NextOutput] = {4, 1};
    c.Hotkeys[HotkeyAction::AppUp] = {6, 51};
    c.Hotkeys[HotkeyAction::AppDown] = {0, 52};
    c.Hotkeys[HotkeyAction::AppMute] = {1, 53};
    c.StepUp = 7;
    c.StepDown = 8;
    c.ShowLevel = 0;  // the check boxes: both away from their default
    c.TrayWheel = 0;
    return c;
}

TEST(SettingsTest, ConvertsStoredTexts)
{
    struct Case {
        const char* Text;
        std::optional<int32_t> Expected;
    };
    const Case cases[] = {
        {"5", 5},
        {"+5", 5},
        {"-1", -1},
        {"0", 0},
        {"58", 58},
        {"$A", 10},
        {"$a", 10},
        {"-$A", -10},
        {"0x3", 3},
        {"0X1f", 31},
        {"0x0", 0},
        {"0x", std::nullopt},
        {"0X", std::nullopt},
        {"$", std::nullopt},
        {"0x-3", std::nullopt},
        {"$G", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"5a", std::nullopt},
        {"1 2", std::nullopt},
        {"A", std::nullopt},
        {"x3", std::nullopt},
        {"00x3", std::nullopt},
        // The private-profile read drops blanks around a value; so do we.
        {" 7", 7},
        {"7 ", 7},
        {"\t7\t", 7},
        {"   ", std::nullopt},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999", std::nullopt},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", std::nullopt},
        {"0x123456789", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSettingValue(c.Text), c.Expected) << "text \"" << c.Text << "\"";
    }
}

TEST(SettingsTest, LoadsEveryKeyIntoItsOwnChoice)
{
    MemoryIniStore store;
    store.Values = {{{"Hotkey", "PreVolumeUp"}, "1"},   {{"Hotkey", "VolumeUp"}, "2"},
                    {{"Hotkey", "PreVolumeDown"}, "3"}, {{"Hotkey", "VolumeDown"}, "0x4"},
                    {{"Hotkey", "PreMute"}, "$5"},      {{"Hotkey", "Mute"}, "6"},
                    {{"Hotkey", "PreMicMute"}, "2"},    {{"Hotkey", "MicMute"}, "59"},
                    {{"Hotkey", "PreNextOutput"}, "4"}, {{"Hotkey", "NextOutput"}, "1"},
                    {{"Hotkey", "PreAppUp"}, "6"},      {{"Hotkey", "AppUp"}, "51"},
                    {{"Hotkey", "PreAppDown"}, "0"},    {{"Hotkey", "AppDown"}, "52"},
                    {{"Hotkey", "PreAppMute"}, "1"},    {{"Hotkey", "AppMute"}, "53"},
                    {{"Step", "StepUp"}, "7"},          {{"Step", "StepDown"}, "8"},
                    {{"Display", "ShowLevel"}, "0"},    {{"Display", "TrayWheel"}, "0"}};
    EXPECT_EQ(LoadSettings(store), DistinctChoices());
    EXPECT_TRUE(store.Writes.empty());
}

TEST(SettingsTest, LoadGivesDefaultsForMissingOrUnusableValues)
{
    MemoryIniStore empty;
    EXPECT_EQ(LoadSettings(empty), SettingsChoices{});

    // Keys in the wrong section do not count.
    MemoryIniStore wrongSection;
    wrongSection.Values = {{{"Step", "VolumeUp"}, "3"}, {{"Hotkey", "StepUp"}, "3"}};
    EXPECT_EQ(LoadSettings(wrongSection), SettingsChoices{});

    MemoryIniStore store;
    store.Values = {{{"Hotkey", "PreVolumeUp"}, "abc"},  {{"Hotkey", "VolumeUp"}, ""},
                    {{"Hotkey", "PreVolumeDown"}, "-1"}, {{"Hotkey", "VolumeDown"}, "99999999999"},
                    {{"Step", "StepUp"}, "letters"},     {{"Step", "StepDown"}, "0x"}};
    EXPECT_EQ(LoadSettings(store), SettingsChoices{});
}

TEST(SettingsTest, LoadKeepsEachListWithinItsSize)
{
    MemoryIniStore lastEntries;
    lastEntries.Values = {{{"Hotkey", "PreVolumeUp"}, "6"}, {{"Hotkey", "VolumeUp"}, "58"},
                          {{"Hotkey", "PreMute"}, "6"},     {{"Hotkey", "Mute"}, "58"},
                          {{"Step", "StepUp"}, "8"},        {{"Step", "StepDown"}, "0"}};
    const SettingsChoices loaded = LoadSettings(lastEntries);
    EXPECT_EQ(loaded.PreVolumeUp, 6);
    EXPECT_EQ(loaded.VolumeUp, 58);
    EXPECT_EQ(loaded.PreMute, 6);
    EXPECT_EQ(loaded.Mute, 58);
    EXPECT_EQ(loaded.StepUp, 8);
    EXPECT_EQ(loaded.StepDown, 0);

    MemoryIniStore oneTooFar;
    oneTooFar.Values = {{{"Hotkey", "PreVolumeUp"}, "7"},   {{"Hotkey", "VolumeUp"}, "59"},
                        {{"Hotkey", "PreVolumeDown"}, "7"}, {{"Hotkey", "VolumeDown"}, "59"},
                        {{"Hotkey", "PreMute"}, "7"},       {{"Hotkey", "Mute"}, "59"},
                        {{"Hotkey", "PreMicMute"}, "7"},    {{"Hotkey", "MicMute"}, "60"},
                        {{"Step", "StepUp"}, "9"},          {{"Step", "StepDown"}, "9"},
                        {{"Display", "ShowLevel"}, "2"},    {{"Display", "TrayWheel"}, "2"}};
    EXPECT_EQ(LoadSettings(oneTooFar), SettingsChoices{});
}

TEST(SettingsTest, LoadOfPartialFileMixesValuesAndDefaults)
{
    MemoryIniStore store;
    store.Values = {{{"Hotkey", "VolumeDown"}, "12"}, {{"Step", "StepUp"}, "0x3"}};
    SettingsChoices expected;
    expected.VolumeDown = 12;
    expected.StepUp = 3;
    EXPECT_EQ(LoadSettings(store), expected);
}

TEST(SettingsTest, SaveWritesEveryKeyInFileOrder)
{
    MemoryIniStore store;
    SettingsChoices choices = DistinctChoices();
    choices.Mute = -1;  // a list left with no selection
    SaveSettings(store, choices);
    const std::vector<std::string> expected = {
        "Hotkey/PreVolumeUp=1", "Hotkey/VolumeUp=2",  "Hotkey/PreVolumeDown=3",
        "Hotkey/VolumeDown=4",  "Hotkey/PreMute=5",   "Hotkey/Mute=-1",
        "Hotkey/PreMicMute=2",  "Hotkey/MicMute=59",  "Hotkey/PreNextOutput=4",
        "Hotkey/NextOutput=1",  "Hotkey/PreAppUp=6",  "Hotkey/AppUp=51",
        "Hotkey/PreAppDown=0",  "Hotkey/AppDown=52",  "Hotkey/PreAppMute=1",
        "Hotkey/AppMute=53",    "Step/StepUp=7",      "Step/StepDown=8",
        "Display/ShowLevel=0",  "Display/TrayWheel=0"};
    EXPECT_EQ(store.Writes, expected);

    // Read back, the unselected list falls back to its default.
    SettingsChoices reloaded = choices;
    reloaded.Mute = 57;
    EXPECT_EQ(LoadSettings(store), reloaded);
}

TEST(SettingsTest, DefaultHotkeysLeavesTheStepsAndTheDisplay)
{
    SettingsChoices choices = DistinctChoices();
    DefaultHotkeys(choices);
    SettingsChoices expected;
    expected.StepUp = 7;
    expected.StepDown = 8;
    expected.ShowLevel = 0;
    expected.TrayWheel = 0;
    EXPECT_EQ(choices, expected);
}

TEST(SettingsTest, StartUpLoadsAnExistingFile)
{
    MemoryIniStore store;
    store.Values = {{{"Hotkey", "Mute"}, "40"}};
    SettingsChoices choices = DistinctChoices();
    LoadOrCreateSettings(store, true, choices);
    SettingsChoices expected;
    expected.Mute = 40;
    EXPECT_EQ(choices, expected);
    EXPECT_TRUE(store.Writes.empty());
}

TEST(SettingsTest, FirstStartWritesDefaultHotkeysAndCurrentSteps)
{
    MemoryIniStore store;
    SettingsChoices choices = DistinctChoices();
    LoadOrCreateSettings(store, false, choices);
    SettingsChoices expected;
    expected.StepUp = 7;
    expected.StepDown = 8;
    expected.ShowLevel = 0;
    expected.TrayWheel = 0;
    EXPECT_EQ(choices, expected);
    ASSERT_EQ(store.Writes.size(), 20u);
    EXPECT_EQ(LoadSettings(store), expected);
}

TEST(SettingsTest, FirstStartKeepsDefaultsWhenTheFileCannotBeWritten)
{
    MemoryIniStore store;
    store.FailWrites = true;
    SettingsChoices choices = DistinctChoices();
    EXPECT_THROW(LoadOrCreateSettings(store, false, choices), std::runtime_error);
    EXPECT_EQ(choices.VolumeUp, 55);
    EXPECT_EQ(choices.PreVolumeUp, 0);
    EXPECT_EQ(choices.StepUp, 7);
}

}  // namespace
