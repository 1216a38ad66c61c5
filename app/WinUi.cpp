#include "WinUi.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "app/Dpi.h"
#include "common/Utf16.h"

void RegisterFormClass(const char* className, WNDPROC windowProc, HICON icon)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass);
}

namespace {

constexpr const char* BitmapFace = "MS Sans Serif";

// Stops the listing at a bitmap size of the wanted character height.
int CALLBACK OtherThanHeight(const LOGFONTA*, const TEXTMETRICA* metric, DWORD type, LPARAM wanted)
{
    return !((type & RASTER_FONTTYPE) &&
             metric->tmHeight - metric->tmInternalLeading == static_cast<LONG>(wanted));
}

bool BitmapFaceHas(int characterHeight)
{
    LOGFONTA face{};
    face.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(face.lfFaceName, BitmapFace);
    HDC screen = GetDC(nullptr);
    int listed = EnumFontFamiliesExA(screen, &face, OtherThanHeight, characterHeight, 0);
    ReleaseDC(nullptr, screen);
    return listed == 0;
}

}  // namespace

Font CreateUiFont(int points, UINT dpi)
{
    constexpr int PointsPerInch = 72;
    int height = MulDiv(points, static_cast<int>(dpi), PointsPerInch);
    return Font(CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE,
                            BitmapFaceHas(height) ? BitmapFace : "Microsoft Sans Serif"));
}

Placement Scaled(const Placement& at96, UINT dpi)
{
    return {ScaleForDpi(at96.Left, dpi), ScaleForDpi(at96.Top, dpi), ScaleForDpi(at96.Width, dpi),
            ScaleForDpi(at96.Height, dpi)};
}

void Place(HWND window, const Placement& at)
{
    SetWindowPos(window, nullptr, at.Left, at.Top, at.Width, at.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Place(HWND window, const RECT& at)
{
    Place(window, Placement{at.left, at.top, at.right - at.left, at.bottom - at.top});
}

SIZE FrameForDpi(HWND form, int clientWidth96, int clientHeight96, UINT dpi)
{
    // The frame's own size depends on the DPI only from Windows 10 1607 on.
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    auto adjust =
        OptionalExport<AdjustForDpi>(GetModuleHandleA("user32.dll"), "AdjustWindowRectExForDpi");
    RECT frame{0, 0, ScaleForDpi(clientWidth96, dpi), ScaleForDpi(clientHeight96, dpi)};
    auto style = static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE));
    auto exStyle = static_cast<DWORD>(GetWindowLongA(form, GWL_EXSTYLE));
    if (!adjust || !adjust(&frame, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void SizeForDpi(HWND form, int clientWidth96, int clientHeight96, UINT dpi)
{
    SIZE frame = FrameForDpi(form, clientWidth96, clientHeight96, dpi);
    SetWindowPos(form, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Icon LoadSmallIcon(int id, int size)
{
    // LoadIconWithScaleDown comes with common controls 6 of Windows Vista.
    using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON icon = nullptr;
    if (auto load =
            OptionalExport<ScaleDown>(GetModuleHandleA("comctl32.dll"), "LoadIconWithScaleDown"))
        load(instance, MAKEINTRESOURCEW(id), size, size, &icon);
    auto load = [&](int side) {
        return static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, side, side, 0));
    };
    if (!icon) icon = load(size);
    // Windows XP cannot read the compressed larger images: it shows the
    // 16-pixel one, scaled by the shell.
    if (!icon) icon = load(16);
    return Icon(icon);
}

HWND CreateControl(HWND parent, int id, const char* className, const char* text, DWORD style,
                   const Placement& at, HFONT font)
{
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, at.Left,
                                   at.Top, at.Width, at.Height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control && font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

SIZE TextSize(HWND control, HFONT font, const std::string& text)
{
    RECT bounds{0, 0, 0, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {bounds.right, bounds.bottom};
}

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::vector<char> text(length + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data());
}

namespace {

std::string ItemText(HWND comboBox, int index)
{
    LRESULT length = SendMessageA(comboBox, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::vector<char> text(length + 1, '\0');
    SendMessageA(comboBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());
}

}  // namespace

LRESULT CALLBACK comboxSourceKeyPress(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR)
{
    if (message == WM_CHAR) return 0;  // the typed character becomes none
    if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, comboxSourceKeyPress, 0);
    return DefSubclassProc(edit, message, wParam, lParam);
}

void SwallowTypedCharacters(HWND comboBox)
{
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(comboBox, &info) && info.hwndItem)
        SetWindowSubclass(info.hwndItem, comboxSourceKeyPress, 0, 0);
}

void AddItem(HWND comboBox, const std::string& text)
{
    SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A list's user data marks a pick not yet followed by an edit of its text.
namespace {

bool Picked(HWND comboBox) { return GetWindowLongPtrA(comboBox, GWLP_USERDATA) != 0; }

void SetPicked(HWND comboBox, bool picked)
{
    SetWindowLongPtrA(comboBox, GWLP_USERDATA, picked ? 1 : 0);
}

int SelectedEntry(HWND comboBox)
{
    return static_cast<int>(SendMessageA(comboBox, CB_GETCURSEL, 0, 0));
}

}  // namespace

bool ListChanged(HWND comboBox, int code)
{
    if (code != CBN_SELCHANGE && code != CBN_EDITCHANGE) return false;
    SetPicked(comboBox, code == CBN_SELCHANGE);
    return true;
}

int ItemIndex(HWND comboBox)
{
    int index = SelectedEntry(comboBox);
    if (index < 0) return -1;
    // Right after a pick the edit field still shows the old entry; after an
    // edit, Windows may keep the old selection while the field shows other
    // text.
    return Picked(comboBox) || ItemText(comboBox, index) == WindowText(comboBox) ? index : -1;
}

std::string ListText(HWND comboBox)
{
    int index = SelectedEntry(comboBox);
    return Picked(comboBox) && index >= 0 ? ItemText(comboBox, index) : WindowText(comboBox);
}

void SetItemIndex(HWND comboBox, int index) { SendMessageA(comboBox, CB_SETCURSEL, index, 0); }

bool Checked(HWND checkBox) { return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND checkBox, bool checked)
{
    SendMessageA(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void OpenWithShell(HWND owner, const std::string& target)
{
    const std::wstring file = Utf16(target);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

void CenterOnScreen(HWND window)
{
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, CenteredOrigin(GetSystemMetrics(SM_CXSCREEN), width),
                 CenteredOrigin(GetSystemMetrics(SM_CYSCREEN), height), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AllowMessageFromLowerPrivilege(HWND window, UINT message)
{
    // Looked up at run time: Windows XP has no message filter, and Vista
    // has only the filter of the whole process.
    using WindowFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using ProcessFilter = BOOL(WINAPI*)(UINT, DWORD);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    constexpr DWORD Allow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the process filter
    if (auto filter = OptionalExport<WindowFilter>(user32, "ChangeWindowMessageFilterEx"))
        filter(window, message, Allow, nullptr);
    else if (auto processFilter =
                 OptionalExport<ProcessFilter>(user32, "ChangeWindowMessageFilter"))
        processFilter(message, Allow);
}
