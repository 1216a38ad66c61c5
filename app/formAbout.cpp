#include "formAbout.h"

#include <commctrl.h>

#include "app/resource.h"

namespace {

constexpr int ClientWidth = 300;
constexpr int ClientHeight = 200;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
enum ControlId { idPicture = 100, idLink, idOk = IDOK };

}  // namespace

TfrmAbout::~TfrmAbout()
{
    if (Handle) DestroyWindow(Handle);
}

HWND TfrmAbout::Create(HWND owner)
{
    RegisterFormClass(ClassName, WindowProc, nullptr);

    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
    CreateWindowExA(0, ClassName, "About", WindowStyle, 0, 0, frame.right - frame.left,
                    frame.bottom - frame.top, owner, nullptr, GetModuleHandleA(nullptr), this);
    if (Handle) CreateControls();
    return Handle;
}

void TfrmAbout::CreateControls()
{
    font_ = CreateUiFont(-11);
    picture_.reset(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_ABOUT), IMAGE_BITMAP, 0, 0, 0)));
    imgAbout = CreateControl(Handle, idPicture, WC_STATICA, "", SS_BITMAP | WS_CLIPSIBLINGS,
                             {0, 0, ClientWidth, ClientHeight}, nullptr);
    SendMessageA(imgAbout, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
    // The click area and the button lie over the picture.
    Label1 = CreateControl(Handle, idLink, WC_STATICA, "", SS_NOTIFY, {8, 110, 161, 17}, font_.get());
    SetWindowLongPtrA(Label1, GWL_EXSTYLE, GetWindowLongPtrA(Label1, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    btnOk = CreateControl(Handle, idOk, WC_BUTTONA, "Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, {200, 152, 75, 25},
                          font_.get());
    SetWindowPos(Label1, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(btnOk, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmAbout::ShowModal(HWND owner)
{
    closed_ = false;
    EnableWindow(owner, FALSE);
    CenterOnScreen(Handle);
    ShowWindow(Handle, SW_SHOWNORMAL);
    SetForegroundWindow(Handle);
    MSG message{};  // a failed GetMessage leaves it as it was
    while (!closed_) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // let the main loop end too
            break;
        }
        if (IsDialogMessageA(Handle, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // The owner must be enabled before this window goes, so that activation
    // returns to it.
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    ShowWindow(Handle, SW_HIDE);
}

LRESULT CALLBACK TfrmAbout::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = FormOf<TfrmAbout>(window, message, lParam);
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCCREATE) self->Handle = window;
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing is ever reported to the user
    }
}

LRESULT TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == idOk && HIWORD(wParam) == BN_CLICKED) btnOkClick();
        if (LOWORD(wParam) == IDCANCEL) btnOkClick();
        if (LOWORD(wParam) == idLink && HIWORD(wParam) == STN_CLICKED) Label1Click();
        return 0;
    case WM_CLOSE:
        btnOkClick();
        return 0;
    case WM_NCDESTROY:  // with its owner, the main window
        SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
        Handle = nullptr;
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Label1) {
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Label1) {
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        break;
    }
    return DefWindowProcA(Handle, message, wParam, lParam);
}

void TfrmAbout::btnOkClick() { closed_ = true; }

void TfrmAbout::Label1Click()
{
    OpenWithShell(Handle, ProductWebAddress);
}
