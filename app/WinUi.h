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

// The application-wide exception handler: every failure that reaches a
// window procedure or a handler ends here and is dropped, because the
// program shows no error messages and keeps no log.
inline void ApplicationEvents1Exception() {}

// The window procedure of every form: the object behind the window is handed
// to CreateWindowEx as its last argument and kept in the window's user data
// from WM_NCCREATE on; no exception leaves a handler. A form declares this a
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
        ApplicationEvents1Exception();
        return 0;
    }
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

// Asks the shell to "open" a file or address, shown normally. Failures are
// not reported: the shell shows no error box either.
void OpenWithShell(HWND owner, const std::string& target);

// Lets `message` reach `window` from programs of lower integrity (the shell,
// when this program runs elevated). Does nothing where Windows has no such
// filter.
void AllowMessageFromLowerPrivilege(HWND window, UINT message);

// Places `window` (frame included) in the middle of the primary screen.
void CenterOnScreen(HWND window);
// Left or top that centres `size` within `screen`, truncated.
inline int CenteredOrigin(int screen, int size) { return (screen - size) / 2; }
