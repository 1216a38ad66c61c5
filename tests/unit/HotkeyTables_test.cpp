// The hotkey choice tables, BuildHotkeyBindings and the action message's
// parameters.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"

namespace {

struct Codes {
    std::int32_t Modifier1, Modifier2, Key;
    bool operator==(const Codes& o) const
    {
        return Modifier1 == o.Modifier1 && Modifier2 == o.Modifier2 && Key == o.Key;
    }
};

std::ostream& operator<<(std::ostream& out, const Codes& c)
{
    return out << std::hex << "(0x" << c.Modifier1 << ", 0x" << c.Modifier2 << ", 0x" << c.Key
               << ")";
}

Codes Read(const HotkeyBinding& b)
{
    return {b.Modifier1.load(), b.Modifier2.load(), b.Key.load()};
}

void Fill(HotkeyBinding& b, std::int32_t value)
{
    b.Modifier1 = value;
    b.Modifier2 = value;
    b.Key = value;
}

// The item index a list shows the text at, as the user picks it.
template <typename Table>
int IndexOf(const Table& table, const char* text)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (std::strcmp(table[i].Text, text) == 0) return static_cast<int>(i);
    ADD_FAILURE() << "no entry " << text;
    return -1;
}

std::vector<std::string> SplitAtPlus(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t plus; (plus = text.find('+', start)) != std::string::npos; start = plus + 1)
        parts.push_back(text.substr(start, plus - start));
    parts.push_back(text.substr(start));
    return parts;
}

HotkeyChoice Choice(const char* modifier, const char* key)
{
    return {IndexOf(ModifierCodes, modifier), IndexOf(KeyCodes, key)};
}

}  // namespace

TEST(HotkeyTables, ModifierRowsInListOrderWithTheirCodes)
{
    const std::vector<std::string> texts{"<None>",   "Ctrl",       "Alt",      "Shift",
                                         "Ctrl+Alt", "Ctrl+Shift", "Shift+Alt"};
    ASSERT_EQ(ModifierCodes.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(ModifierCodes[i].Text, texts[i]) << "row " << i;

    // A row's codes follow its text, the first named key first.
    const std::map<std::string, std::int32_t> code{{"Ctrl", 0x11}, {"Alt", 0x12}, {"Shift", 0x10}};
    for (const ModifierRow& row : ModifierCodes) {
        std::vector<std::int32_t> expected;
        if (std::string(row.Text) != "<None>")
            for (const std::string& name : SplitAtPlus(row.Text))
                expected.push_back(code.at(name));
        expected.resize(2, 0);
        EXPECT_EQ(row.Modifier1, expected[0]) << row.Text;
        EXPECT_EQ(row.Modifier2, expected[1]) << row.Text;
    }
}

TEST(HotkeyTables, KeyAnchors)
{
    ASSERT_EQ(KeyCodes.size(), 59u);
    const struct {
        int Index;
        const char* Text;
        std::int32_t Code;
    } anchors[] = {{0, "`", 0xC0},         {1, "0", 0x30},         {10, "9", 0x39},
                   {11, "A", 0x41},        {36, "Z", 0x5A},        {37, "Insert", 0x2D},
                   {38, "Delete", 0x2E},   {39, "Home", 0x24},     {40, "End", 0x23},
                   {41, "PageUp", 0x21},   {42, "PageDown", 0x22}, {43, "F1", 0x70},
                   {54, "F12", 0x7B},      {55, "Numpad +", 0x6B}, {56, "Numpad -", 0x6D},
                   {57, "Numpad *", 0x6A}, {58, "Numpad /", 0x6F}};
    for (const auto& a : anchors) {
        EXPECT_STREQ(KeyCodes[a.Index].Text, a.Text) << "index " << a.Index;
        EXPECT_EQ(KeyCodes[a.Index].Code, a.Code) << "index " << a.Index;
    }
}

TEST(HotkeyTables, DigitLetterAndFunctionRangesAscendOneEntryPerKey)
{
    for (int i = 1; i <= 36; ++i) {
        const std::string text = KeyCodes[i].Text;
        ASSERT_EQ(text.size(), 1u) << "index " << i;
        EXPECT_EQ(KeyCodes[i].Code, text[0]) << "index " << i;
        if (i != 10 && i != 36) {
            EXPECT_EQ(KeyCodes[i + 1].Text[0], text[0] + 1) << "index " << i;
        }
    }
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(KeyCodes[42 + n].Text, "F" + std::to_string(n));
        EXPECT_EQ(KeyCodes[42 + n].Code, 0x6F + n);
    }
}

TEST(HotkeyTables, EveryKeyEntryIsDistinctAndUsable)
{
    std::set<std::string> texts;
    std::set<std::int32_t> codes;
    for (const KeyRow& row : KeyCodes) {
        texts.insert(row.Text);
        codes.insert(row.Code);
        EXPECT_GT(row.Code, 0) << row.Text;
        EXPECT_LT(row.Code, 0x100) << row.Text;
    }
    EXPECT_EQ(texts.size(), KeyCodes.size());
    EXPECT_EQ(codes.size(), KeyCodes.size());
}

TEST(BuildHotkeyBindings, TurnsChoicesIntoCodesPerAction)
{
    HotkeyBindings bindings;
    const HotkeyBinding &up = bindings[HotkeyAction::VolumeUp],
                        &down = bindings[HotkeyAction::VolumeDown],
                        &mute = bindings[HotkeyAction::MuteToggle];
    BuildHotkeyBindings(
        {{Choice("Ctrl+Shift", "Numpad +"), Choice("<None>", "F5"), Choice("Shift+Alt", "`")}},
        bindings);
    EXPECT_EQ(Read(up), (Codes{0x11, 0x10, 0x6B}));
    EXPECT_EQ(Read(down), (Codes{0, 0, 0x74}));
    EXPECT_EQ(Read(mute), (Codes{0x10, 0x12, 0xC0}));

    // The settings file's defaults: the keypad keys alone.
    BuildHotkeyBindings({{{0, 55}, {0, 56}, {0, 57}}}, bindings);
    EXPECT_EQ(Read(up), (Codes{0, 0, 0x6B}));
    EXPECT_EQ(Read(down), (Codes{0, 0, 0x6D}));
    EXPECT_EQ(Read(mute), (Codes{0, 0, 0x6A}));

    // The microphone's key list starts with "<None>", and that is no key.
    const HotkeyBinding& mic = bindings[HotkeyAction::MicMute];
    for (const auto& [choice, codes] : {std::pair{HotkeyChoice{1, 59}, Codes{0x11, 0, 0x6F}},
                                        {HotkeyChoice{0, 1}, Codes{0, 0, 0xC0}},
                                        {HotkeyChoice{1, 0}, Codes{0, 0, 0}},
                                        {HotkeyChoice{0, 60}, Codes{0, 0, 0}}}) {
        BuildHotkeyBindings({{{0, 55}, {0, 56}, {0, 57}, choice}}, bindings);
        EXPECT_EQ(Read(mic), codes) << choice.Key;
    }
    EXPECT_EQ(KeyListEntries(HotkeyAction::MicMute), 60);
    EXPECT_EQ(KeyListEntries(HotkeyAction::MuteToggle), 59);
}

TEST(BuildHotkeyBindings, RebuildsAllNineFieldsInPlace)
{
    HotkeyBindings bindings;
    HotkeyBinding &up = bindings[HotkeyAction::VolumeUp],
                  &down = bindings[HotkeyAction::VolumeDown],
                  &mute = bindings[HotkeyAction::MuteToggle];
    for (HotkeyAction action : AllHotkeyActions)
        Fill(bindings[action], 0x7777);
    HotkeyChoices choices{
        {Choice("Ctrl+Alt", "Z"), Choice("Alt", "0"), Choice("Shift", "Numpad /")}};
    BuildHotkeyBindings(choices, bindings);
    EXPECT_EQ(Read(up), (Codes{0x11, 0x12, 0x5A}));
    EXPECT_EQ(Read(down), (Codes{0x12, 0, 0x30}));
    EXPECT_EQ(Read(mute), (Codes{0x10, 0, 0x6F}));

    // A second modifier goes back to 0 when a one-modifier row follows.
    choices[HotkeyAction::VolumeUp] = Choice("Ctrl", "Z");
    BuildHotkeyBindings(choices, bindings);
    EXPECT_EQ(Read(up), (Codes{0x11, 0, 0x5A}));
}

TEST(BuildHotkeyBindings, IndexOutsideItsTableGivesABindingThatNeverFires)
{
    const HotkeyChoice bad[] = {{-1, 55},     {7, 55},      {0, -1}, {6, 59},
                                {INT_MIN, 0}, {0, INT_MAX}, {-1, -1}};
    for (const HotkeyChoice& choice : bad) {
        HotkeyBindings bindings;
        Fill(bindings[HotkeyAction::VolumeDown], 0x7777);
        BuildHotkeyBindings({{{5, 55}, choice, {0, 57}}}, bindings);
        EXPECT_EQ(Read(bindings[HotkeyAction::VolumeDown]), (Codes{0, 0, 0}))
            << "modifier " << choice.Modifier << ", key " << choice.Key;
        // The other two actions are built as usual.
        EXPECT_EQ(Read(bindings[HotkeyAction::VolumeUp]), (Codes{0x11, 0x10, 0x6B}));
        EXPECT_EQ(Read(bindings[HotkeyAction::MuteToggle]), (Codes{0, 0, 0x6A}));
    }
}

TEST(HotkeyActionMessage, ParametersTellTheActionsApart)
{
    EXPECT_EQ(WM_HOTKEYACTION, 0x401u);
    const struct {
        HotkeyAction Action;
        std::uintptr_t WParam;
        std::intptr_t LParam;
    } table[] = {{HotkeyAction::VolumeUp, 0, 0},   {HotkeyAction::VolumeDown, 1, 0},
                 {HotkeyAction::MuteToggle, 0, 1}, {HotkeyAction::MicMute, 0, 2},
                 {HotkeyAction::NextOutput, 0, 4}, {HotkeyAction::AppUp, 0, 5},
                 {HotkeyAction::AppDown, 0, 6},    {HotkeyAction::AppMute, 0, 7}};
    for (const auto& row : table) {
        const HotkeyActionParams params = ParamsOf(row.Action);
        EXPECT_EQ(params.WParam, row.WParam);
        EXPECT_EQ(params.LParam, row.LParam);
        EXPECT_EQ(ActionOf(params.WParam, params.LParam), row.Action);
    }
    // The receiver looks at LParam first and counts any non-zero value.
    EXPECT_EQ(ActionOf(1, 1), HotkeyAction::MuteToggle);
    EXPECT_EQ(ActionOf(0, -1), HotkeyAction::MuteToggle);
    EXPECT_EQ(ActionOf(0, 3), HotkeyAction::MuteToggle);
    EXPECT_EQ(ActionOf(42, 0), HotkeyAction::VolumeDown);
}

namespace {

// What a new row must not break: each action is told apart by its message
// and its TB.ini keys, and one that stays off until picked starts off.
TEST(HotkeyActionRows, EachRowHasItsOwnKeysAndMessage)
{
    std::set<std::string> keys;
    std::set<std::pair<std::uintptr_t, std::intptr_t>> params;
    for (const HotkeyActionRow& row : HotkeyActionRows) {
        EXPECT_TRUE(keys.insert(row.ModifierKey).second) << row.ModifierKey;
        EXPECT_TRUE(keys.insert(row.KeyKey).second) << row.KeyKey;
        EXPECT_TRUE(params.insert({row.Params.WParam, row.Params.LParam}).second) << row.Label;
        EXPECT_EQ(ActionOf(row.Params.WParam, row.Params.LParam), row.Action) << row.Label;
        if (row.Keys == KeyList::NoneFirst) {
            EXPECT_EQ(row.Default.Key, 0) << row.Label;
        }
        EXPECT_LT(row.Default.Key, KeyListEntries(row.Action)) << row.Label;
    }
}

// Two rows on the very same keys are marked, and only those; other
// modifiers on the same key are another hotkey.
TEST(HotkeyActionRows, SharedKeysAreFoundPerAction)
{
    HotkeyChoices choices{{{0, 55}, {0, 56}, {0, 57}, {0, 0}}};
    auto shared = [&] {
        std::vector<HotkeyAction> found;
        const PerHotkeyAction<bool> sharing = ActionsSharingKeys(choices);
        for (HotkeyAction action : AllHotkeyActions)
            if (sharing[action]) found.push_back(action);
        return found;
    };
    EXPECT_TRUE(shared().empty());
    choices[HotkeyAction::MicMute] = {0, 58};  // Numpad *, after "<None>"
    EXPECT_EQ(shared(), (std::vector{HotkeyAction::MuteToggle, HotkeyAction::MicMute}));
    choices[HotkeyAction::MicMute] = {1, 58};  // Ctrl + Numpad *
    EXPECT_TRUE(shared().empty());
    choices[HotkeyAction::VolumeUp] = {-1, 55};  // no selection: no key
    choices[HotkeyAction::VolumeDown] = {-1, 55};
    EXPECT_TRUE(shared().empty());
}

}  // namespace
