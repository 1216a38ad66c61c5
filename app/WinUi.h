#pragma once
// Small Win32 helpers shared by the program's windows: owned GDI and user
// handles, control creation, and the behaviour of the editable lists.
#include <windows.h>

#include <memory>
#include <string>

template <typename Handle, BOOL(WINAPI* Free)(Handle)>
struct HandleFree {
    void operator()(Handle h) const { Free(h); }
};

using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, HandleFree<HGDIOBJ, DeleteObject>>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, HandleFree<HGDIOBJ, DeleteObject>>;
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, HandleFree<HICON, DestroyIcon>>;

// Registers a window class of the program's forms (button-face background,
// arrow cursor).
void RegisterFormClass(const char* className, WNDPROC windowProc, HICON icon);

// The object behind a form's window: handed to CreateWindowEx as its last
// argument, kept in the window's user data from WM_NCCREATE on.
template <typename Form>
Form* FormOf(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    return reinterpret_cast<Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// "MS Sans Serif" at a pixel height (negative: character height).
Font CreateUiFont(int height);

// Where a control sits inside its parent, in pixels.
struct Placement {
    int Left, Top, Width, Height;
};

HWND CreateControl(HWND parent, int id, const char* className, const char* text, DWORD style,
                   const Placement& at, HFONT font);

// The label's width and height for its text in its font.
SIZE TextSize(HWND control, HFONT font, const std::string& text);

std::string WindowText(HWND window);

// The key-press handler shared by the main window's editable lists: every
// typed character is dropped. Keys that type nothing (Delete, Shift+Insert,
// the edit menu) still edit the text.
LRESULT CALLBACK comboxSourceKeyPress(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
// Gives an editable drop-down list's edit field that handler.
void SwallowTypedCharacters(HWND comboBox);
void AddItem(HWND comboBox, const std::string& text);
// The selected entry, or -1 when none is selected or its text was edited.
int ItemIndex(HWND comboBox);
void SetItemIndex(HWND comboBox, int index);

// Asks the shell to "open" a file or address, shown normally. Failures are
// not reported: the shell shows no error box either.
void OpenWithShell(HWND owner, const std::string& target);

// Places `window` (frame included) in the middle of the primary screen.
void CenterOnScreen(HWND window);
// Left or top that centres `size` within `screen`, truncated.
inline int CenteredOrigin(int screen, int size) { return (screen - size) / 2; }
