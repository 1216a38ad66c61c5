#include "app/SettingsControls.h"

#include <commctrl.h>

#include "app/MainLayout.h"
#include "app/WinUi.h"
#include "hotkeys/HotkeyBinding.h"
#include "settings/PrivateProfileStore.h"
#include "volume/VolumeController.h"

namespace {

constexpr DWORD CheckBoxStyle = BS_AUTOCHECKBOX | WS_TABSTOP;

void FillModifierList(HWND list)
{
    for (const ModifierRow& row : ModifierCodes)
        AddItem(list, row.Text);
}

void FillKeyList(HWND list, HotkeyAction action)
{
    if (KeyListStartsWithNone(action)) AddItem(list, NoKeyText);
    for (const KeyRow& row : KeyCodes)
        AddItem(list, row.Text);
}

}  // namespace

void TSettingsControls::Create(HWND window)
{
    window_ = window;
    for (std::size_t row = 0; row < HotkeyActionCount; ++row) {
        const HotkeyAction action = HotkeyActionRows[row].Action;
        CreateLabel(window, RowControlId(row, RowPart::Label), HotkeyActionRows[row].Label);
        modifiers_[action] = CreateChoiceList(window, RowControlId(row, RowPart::Modifier));
        CreateLabel(window, RowControlId(row, RowPart::Plus), "+");
        keys_[action] = CreateChoiceList(window, RowControlId(row, RowPart::Key));
        FillModifierList(modifiers_[action]);
        FillKeyList(keys_[action], action);
    }

    CreateLabel(window, idLabel2, "Volume up");
    CreateLabel(window, idLabel3, "Volume down");
    stepUp_ = CreateChoiceList(window, idStepUp);
    stepDown_ = CreateChoiceList(window, idStepDown);
    for (HWND steps : {stepUp_, stepDown_})
        for (const char* text : StepTexts)
            AddItem(steps, text);

    showLevel_ = CreateControl(window, idShowLevel, WC_BUTTONA, "Show level on screen",
                               CheckBoxStyle, {}, nullptr);
    trayWheel_ =
        CreateControl(window, idTrayWheel, WC_BUTTONA,
                      "Scroll over the tray icon changes the volume", CheckBoxStyle, {}, nullptr);
    const SettingsChoices defaults;
    SetItemIndex(stepUp_, defaults.StepUp);
    SetItemIndex(stepDown_, defaults.StepDown);
    SetChecked(showLevel_, defaults.ShowLevel != 0);
    SetChecked(trayWheel_, defaults.TrayWheel != 0);
}

void TSettingsControls::LoadOrDefaults(const std::string& fileName, UINT dpi)
{
    TakeOverInterruptedSave(fileName);
    PrivateProfileStore store(fileName);
    SettingsChoices choices = Choices();
    bool exists = FileExists(fileName);
    try {
        LoadOrCreateSettings(store, exists, choices);
    } catch (...) {
        Show(choices, dpi);  // the defaults stay in effect when the write fails
        throw;
    }
    Show(choices, dpi);
}

void TSettingsControls::Save(const std::string& fileName) const
{
    PrivateProfileStore store(fileName);
    SaveSettings(store, Choices());
}

HotkeyChoices TSettingsControls::Hotkeys() const
{
    HotkeyChoices choices{};
    for (const HotkeyAction action : AllHotkeyActions)
        choices[action] = {ItemIndex(modifiers_[action]), ItemIndex(keys_[action])};
    return choices;
}

SettingsChoices TSettingsControls::Choices() const
{
    SettingsChoices c;
    c.Hotkeys = Hotkeys();
    c.StepUp = ItemIndex(stepUp_);
    c.StepDown = ItemIndex(stepDown_);
    c.ShowLevel = Checked(showLevel_) ? 1 : 0;
    c.TrayWheel = Checked(trayWheel_) ? 1 : 0;
    return c;
}

void TSettingsControls::Show(const SettingsChoices& c, UINT dpi)
{
    for (const HotkeyAction action : AllHotkeyActions) {
        SetItemIndex(modifiers_[action], c.Hotkeys[action].Modifier);
        SetItemIndex(keys_[action], c.Hotkeys[action].Key);
    }
    SetItemIndex(stepUp_, c.StepUp);
    SetItemIndex(stepDown_, c.StepDown);
    SetChecked(showLevel_, c.ShowLevel != 0);
    SetChecked(trayWheel_, c.TrayWheel != 0);
    MarkSharedKeys(dpi);
}

// A mark exists only while it shows, so that the window has no control more
// than its design when no keys are shared.
void TSettingsControls::MarkSharedKeys(UINT dpi)
{
    const PerHotkeyAction<bool> sharing = ActionsSharingKeys(Hotkeys());
    for (const ControlLayout& place : MainWindowLayout()) {
        const int row = RowOfMark(place.Id);
        if (row < 0) continue;
        HWND mark = GetDlgItem(window_, place.Id);
        const HotkeyAction action = HotkeyActionRows[row].Action;
        if (!sharing[action]) {
            if (mark) DestroyWindow(mark);
        } else if (!mark) {
            mark = CreateLabel(window_, place.Id, "!");
            auto font = reinterpret_cast<HFONT>(SendMessageA(keys_[action], WM_GETFONT, 0, 0));
            LayOutControl(mark, place, dpi, font);
        }
    }
}
