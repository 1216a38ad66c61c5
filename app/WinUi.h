#pragma once
// Small Win32 helpers shared by the program's windows: owned GDI and user
// handles, control creation, and the behaviour of the editable lists.
#include <windows.h>

#include <string>

#include "common/Owned.h"

using Font = Owned<HFONT, DeleteObject>;
using Bitmap = Owned<HBITMAP, DeleteObject>;
using Icon = Owned<HICON, DestroyIcon>;

// A function that only newer Windows export, looked up at run time so that
// the program still starts on older ones; null where it is missing.
template <typename Function>
Function OptionalExport(HMODULE module, const char* name)
{
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// Registers a window class of the program's forms (button-face background,
// arrow cursor).
void RegisterFormClass(const char* className, WNDPROC windowProc, HICON icon);

// The window procedure of every form: the object behind the window is handed
// to CreateWindowEx as its last argument and kept in the window's user data
// from WM_NCCREATE on. A failure that reaches it is dropped: the program
// shows no error messages and keeps no log. A form declares this a
// friend and has `HWND Handle` and `LRESULT HandleMessage(UINT, WPARAM, LPARAM)`.
template <typename Form>
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->Handle = window;
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// "MS Sans Serif" at `points` for `dpi`. The bitmap face has a few sizes
// only, and GDI would stretch one into blocks: where it lacks the size, its
// TrueType sibling "Microsoft Sans Serif" draws the text.
Font CreateUiFont(int points, UINT dpi);

// Where a control sits inside its parent, in pixels.
struct Placement {
    int Left, Top, Width, Height;
};

// A placement of the 96-DPI design at `dpi`.
Placement Scaled(const Placement& at96, UINT dpi);
void Place(HWND window, const Placement& at);
void Place(HWND window, const RECT& at);

// Sent by Windows 10 1703 and later before WM_DPICHANGED, to ask the size a
// window takes at the new DPI; older headers lack it.
constexpr UINT WmGetDpiScaledSize = 0x02E4;
// The size, frame included, of a form whose client area is the design's
// `clientWidth96` x `clientHeight96` scaled to `dpi`.
SIZE FrameForDpi(HWND form, int clientWidth96, int clientHeight96, UINT dpi);
// Gives a form that size, keeping its place.
void SizeForDpi(HWND form, int clientWidth96, int clientHeight96, UINT dpi);

HWND CreateControl(HWND parent, int id, const char* className, const char* text, DWORD style,
                   const Placement& at, HFONT font);

// The label's width and height for its text in its font.
SIZE TextSize(HWND control, HFONT font, const std::string& text);

std::string WindowText(HWND window);

// The key-press handler shared by the main window's editable lists: every
// typed character is dropped. Keys that type nothing (Delete, Shift+Insert,
// the edit menu) still edit the text.
LRESULT CALLBACK comboxSourceKeyPress(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
// Gives an editable drop-down list's edit field that handler.
void SwallowTypedCharacters(HWND comboBox);
void AddItem(HWND comboBox, const std::string& text);
// Notes a list's change notification: a pick (CBN_SELCHANGE) or an edit of
// its text (CBN_EDITCHANGE). True for those two: the list's change event.
// A list tells of a pick before it copies the entry into its edit field;
// what is noted here lets ItemIndex and ListText read the pick at once.
bool ListChanged(HWND comboBox, int code);
// The selected entry, or -1 when none is selected or its text was edited
// since the last pick.
int ItemIndex(HWND comboBox);
// The text the list shows, or is about to show after a pick.
std::string ListText(HWND comboBox);
void SetItemIndex(HWND comboBox, int index);

bool Checked(HWND checkBox);
// Changes the box only: no click reaches its window.
void SetChecked(HWND checkBox, bool checked);

// Asks the shell to "open" a file (a UTF-8 path) or address, shown normally. Failures are
// not reported: the shell shows no error box either.
void OpenWithShell(HWND owner, const std::string& target);

// Lets `message` reach `window` from programs of lower integrity (the shell,
// when this program runs elevated). Does nothing where Windows has no such
// filter.
void AllowMessageFromLowerPrivilege(HWND window, UINT message);

// The tray images' icon `id` at `size` pixels, scaled down from a larger
// image where the exact size is missing.
Icon LoadSmallIcon(int id, int size);

// Places `window` (frame included) in the middle of the primary screen.
void CenterOnScreen(HWND window);
// Left or top that centres `size` within `screen`, truncated.
inline int CenteredOrigin(int screen, int size) { return (screen - size) / 2; }
