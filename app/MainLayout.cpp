#include "app/MainLayout.h"

#include <commctrl.h>

#include <iterator>

namespace {

// Drop-down heights include the opened list. Common controls 6 size an
// opened list by its number of entries instead: as many as fit that height,
// so that the list opens below its box on both and on a 768-pixel screen.
constexpr int ListDropHeight = 260;
constexpr int ListVisibleEntries = 18;
constexpr DWORD ListStyle = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;

constexpr int RowsHeight = RowSpacing * static_cast<int>(HotkeyActionCount);

constexpr Placement VolumeGroup{21, 20, 276, 65};
constexpr Placement ChannelGroup{314, 20, 159, 65};
constexpr Placement HotkeyGroup{21, 106, 276, 37 + RowsHeight};
constexpr Placement StepGroup{314, 106, 159, HotkeyGroup.Height};
// The strip between the groups and the buttons, and the buttons' row.
constexpr int StripTop = HotkeyGroup.Top + HotkeyGroup.Height + 4;
constexpr int ButtonsTop = StripTop + 21;

constexpr Placement Inside(const Placement& group, int left, int top, int width, int height)
{
    return {group.Left + left, group.Top + top, width, height};
}

constexpr ControlLayout FixedLayout[] = {
    {idGroupBox1, VolumeGroup},
    {idPlayBackVolume, Inside(VolumeGroup, 15, 28, 186, 19)},
    {idMute, Inside(VolumeGroup, 214, 29, 51, 17)},
    {idGroupBox2, ChannelGroup},
    {idSource, Inside(ChannelGroup, 15, 26, 130, ListDropHeight)},
    {idHotkey1, HotkeyGroup},
    {idGroupBox3, StepGroup},
    {idLabel2, Inside(StepGroup, 24, 32, 0, 0)},
    {idLabel3, Inside(StepGroup, 10, 64, 0, 0)},
    {idStepUp, Inside(StepGroup, 80, 28, 65, ListDropHeight)},
    {idStepDown, Inside(StepGroup, 80, 60, 65, ListDropHeight)},
    {idShowLevel, {21, StripTop, 140, 17}},
    {idTrayWheel, {176, StripTop, 297, 17}},
    {idHelp, {21, ButtonsTop, 75, 25}},
    {idAbout, {112, ButtonsTop, 75, 25}},
    {idHide, {309, ButtonsTop, 75, 25}},
    {idExit, {398, ButtonsTop, 75, 25}},
};

// Row `row` of the Hotkey group; the first row's "+" sits a pixel higher
// than the others', as it always has.
void AddRowLayout(std::vector<ControlLayout>& layout, std::size_t row)
{
    const int listTop = 28 + RowSpacing * static_cast<int>(row);
    const int plusTop = listTop - (row == 0 ? 2 : 1);
    const int labelLeft = HotkeyActionRows[row].LabelLeft;
    layout.push_back(
        {RowControlId(row, RowPart::Label), Inside(HotkeyGroup, labelLeft, listTop + 4, 0, 0)});
    layout.push_back({RowControlId(row, RowPart::Modifier),
                      Inside(HotkeyGroup, 80, listTop, 81, ListDropHeight)});
    layout.push_back(
        {RowControlId(row, RowPart::Plus), Inside(HotkeyGroup, 166, plusTop, 0, 0), PlusPoints});
    layout.push_back(
        {RowControlId(row, RowPart::Key), Inside(HotkeyGroup, 184, listTop, 81, ListDropHeight)});
    layout.push_back(
        {RowControlId(row, RowPart::Mark), Inside(HotkeyGroup, 267, listTop + 4, 0, 0)});
}

}  // namespace

// The first four rows keep the ids they have always had, which tools and
// tests find the lists by; later rows take theirs from FirstNewRowId on.
constexpr int KeptRowIds[][4] = {
    {106, 109, 112, 115}, {107, 110, 113, 116}, {108, 111, 114, 117}, {129, 130, 131, 132}};
constexpr std::size_t KeptRows = std::size(KeptRowIds);
constexpr int FirstNewRowId = 200;
constexpr int FirstMarkId = 300;

int RowControlId(std::size_t row, RowPart part)
{
    const auto index = static_cast<std::size_t>(part);
    if (part == RowPart::Mark) return FirstMarkId + static_cast<int>(row);
    if (row < KeptRows) return KeptRowIds[row][index];
    return FirstNewRowId + static_cast<int>((row - KeptRows) * 4 + index);
}

int RowOfList(int id)
{
    for (std::size_t row = 0; row < HotkeyActionCount; ++row)
        if (id == RowControlId(row, RowPart::Modifier) || id == RowControlId(row, RowPart::Key))
            return static_cast<int>(row);
    return -1;
}

int RowOfMark(int id)
{
    const int row = id - FirstMarkId;
    return row >= 0 && row < static_cast<int>(HotkeyActionCount) ? row : -1;
}

std::vector<ControlLayout> MainWindowLayout()
{
    std::vector<ControlLayout> layout(std::begin(FixedLayout), std::end(FixedLayout));
    for (std::size_t row = 0; row < HotkeyActionCount; ++row)
        AddRowLayout(layout, row);
    return layout;
}

void LayOutControl(HWND control, const ControlLayout& row, UINT dpi, HFONT font)
{
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Placement at = Scaled(row.At, dpi);
    if (row.At.Width == 0) {
        // Smoothed glyphs may reach a pixel past the measured extent, so a
        // little room is kept.
        SIZE size = TextSize(control, font, WindowText(control));
        at.Width = size.cx + 2;
        at.Height = size.cy;
    }
    Place(control, at);
}

LayoutFonts LayOutControls(HWND window, UINT dpi)
{
    LayoutFonts fonts{CreateUiFont(FontPoints, dpi), CreateUiFont(PlusPoints, dpi)};
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Text.get()), FALSE);
    for (const ControlLayout& row : MainWindowLayout()) {
        HWND control = GetDlgItem(window, row.Id);
        if (!control) continue;  // a mark not shown now
        LayOutControl(control, row, dpi,
                      (row.Points == PlusPoints ? fonts.Plus : fonts.Text).get());
    }
    return fonts;
}

HWND CreateLabel(HWND window, int id, const char* text)
{
    return CreateControl(window, id, WC_STATICA, text, SS_LEFT, {}, nullptr);
}

HWND CreateChoiceList(HWND window, int id)
{
    HWND list = CreateControl(window, id, WC_COMBOBOXA, "", ListStyle, {}, nullptr);
    SendMessageA(list, CB_SETMINVISIBLE, ListVisibleEntries, 0);
    SwallowTypedCharacters(list);
    return list;
}
