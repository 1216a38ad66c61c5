#pragma once
// The main window's design at 96 DPI: its controls' ids, where each sits in
// the client area and its font's size. Every other DPI scales these. The
// Hotkey group holds one row per hotkey action (HotkeyActionRows); the group,
// and all that lies below it, grows with the rows.
#include <windows.h>

#include <cstddef>
#include <vector>

#include "app/WinUi.h"
#include "hotkeys/HotkeyActions.h"

// The controls that are not hotkey rows; the first four rows' ids lie
// between idHotkey1 and idGroupBox3 and after idTrayWheel.
enum ControlId {
    idGroupBox1 = 100,
    idPlayBackVolume,
    idMute,
    idGroupBox2,
    idSource,
    idHotkey1,
    idGroupBox3 = 118,
    idLabel2,
    idLabel3,
    idStepUp,
    idStepDown,
    idHelp,
    idAbout,
    idHide,
    idExit,
    idShowLevel,
    idTrayWheel,
};

// The controls of a hotkey row, left to right: the action's label, its
// modifier list, the "+", its key list, and the mark that shows while
// another row has the same keys (made only then).
enum class RowPart { Label, Modifier, Plus, Key, Mark };

int RowControlId(std::size_t row, RowPart part);
// The row of a hotkey list's id, or of a mark's; -1 for another control.
int RowOfList(int id);
int RowOfMark(int id);

constexpr int ClientWidth = 494;
constexpr int RowSpacing = 32;  // from one hotkey row to the next
// 346 with the four first rows; every further row adds a row's spacing.
constexpr int ClientHeight = 218 + RowSpacing * static_cast<int>(HotkeyActionCount);

constexpr int FontPoints = 8;
constexpr int PlusPoints = 14;  // the "+" between a hotkey's two lists
constexpr int ThumbLength = 15;

// A label has no size here: it is as large as its text.
struct ControlLayout {
    int Id;
    Placement At;
    int Points = FontPoints;
};

// Every control's place, the hotkey rows' included.
std::vector<ControlLayout> MainWindowLayout();
// Places one control, in `font`, for `dpi`.
void LayOutControl(HWND control, const ControlLayout& row, UINT dpi, HFONT font);

// Lays the window's controls out for `dpi`: the design's places scaled, the
// fonts at the same points, each label as large as its text. The fonts must
// outlive the controls' use of them.
struct LayoutFonts {
    Font Text;
    Font Plus;
};
LayoutFonts LayOutControls(HWND window, UINT dpi);

// Makes the window's labels and its editable drop-down lists. Their places
// come later, from the layout.
HWND CreateLabel(HWND window, int id, const char* text);
HWND CreateChoiceList(HWND window, int id);
