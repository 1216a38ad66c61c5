#pragma once
// The main window's controls whose choices TB.ini keeps: a row of two lists
// per hotkey action (HotkeyActionRows), the two step lists and the two check
// boxes; and the mapping between them and SettingsChoices.
#include <windows.h>

#include <string>

#include "app/WinUi.h"
#include "hotkeys/HotkeyActions.h"
#include "settings/Settings.h"

class TSettingsControls {
public:
    // Creates the controls in the window's tab order, each row's left to
    // right, and fills the lists; until a file is loaded they show the
    // defaults.
    void Create(HWND window);

    // Loads the file; where there is none, the hotkeys' defaults, which are
    // then written. The controls show the result, also when the write fails.
    // `dpi` is the window's scale now, for the marks.
    void LoadOrDefaults(const std::string& fileName, UINT dpi);
    void Save(const std::string& fileName) const;

    SettingsChoices Choices() const;
    void Show(const SettingsChoices& choices, UINT dpi);
    HotkeyChoices Hotkeys() const;
    // Shows the mark beside each row whose keys another row has too.
    void MarkSharedKeys(UINT dpi);

    bool ShowLevel() const { return Checked(showLevel_); }
    bool TrayWheel() const { return Checked(trayWheel_); }
    HWND StepUp() const { return stepUp_; }
    HWND StepDown() const { return stepDown_; }

private:
    HWND window_ = nullptr;
    PerHotkeyAction<HWND> modifiers_{};
    PerHotkeyAction<HWND> keys_{};
    HWND stepUp_ = nullptr, stepDown_ = nullptr;
    HWND showLevel_ = nullptr, trayWheel_ = nullptr;
};
