#include "formAbout.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "TarnbellVersion.h"
#include "app/Dpi.h"
#include "app/Inflate.h"
#include "app/resource.h"

namespace {

constexpr int ClientWidth = 300;
constexpr int ClientHeight = 200;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
enum ControlId { idPicture = 100, idLink, idVersion, idOk = IDOK };
constexpr int FontPoints = 8;
constexpr Placement LinkArea{8, 110, 161, 17};  // over the address in the picture
constexpr Placement VersionArea{11, 62, 150, 16};
constexpr Placement OkButton{200, 152, 75, 25};
// The picture's own text colour, for the text laid over it.
constexpr COLORREF OverlayTextColour = RGB(0xDC, 0xE8, 0xF4);

using MemoryDc = Owned<HDC, DeleteDC>;

// Far more than any picture of ours expands to; bounds damaged data.
constexpr std::size_t MaxPictureBytes = 4 << 20;

const std::uint8_t* ResourceBytes(HMODULE module, int id, DWORD& size)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    size = found ? SizeofResource(module, found) : 0;
    return static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
}

}  // namespace

// The resource holds the picture's BITMAPINFOHEADER and rows as
// app/res/pack-picture.py packs them: each byte a difference to the same
// colour of the pixel before it, the whole deflated.
HBITMAP LoadAboutPicture(HMODULE module)
{
    DWORD size = 0;
    const std::uint8_t* packed = ResourceBytes(module, IDB_ABOUT, size);
    std::vector<std::uint8_t> dib;
    if (!packed || !Inflate(packed, size, MaxPictureBytes, dib) ||
        dib.size() < sizeof(BITMAPINFOHEADER))
        return nullptr;
    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, dib.data(), sizeof info.bmiHeader);
    const BITMAPINFOHEADER& header = info.bmiHeader;
    if (header.biSize != sizeof header || header.biBitCount != 24 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight <= 0)
        return nullptr;
    const std::uint64_t stride =
        (std::uint64_t{static_cast<std::uint32_t>(header.biWidth)} * 3 + 3) / 4 * 4;
    const std::uint64_t rows = static_cast<std::uint32_t>(header.biHeight);
    if (dib.size() != sizeof header + stride * rows) return nullptr;

    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture) return nullptr;
    const std::uint8_t* in = dib.data() + sizeof header;
    auto* out = static_cast<std::uint8_t*>(bits);
    for (std::uint64_t row = 0; row < rows; ++row, in += stride, out += stride)
        for (std::uint64_t i = 0; i < stride; ++i)
            out[i] = static_cast<std::uint8_t>(in[i] + (i >= 3 ? out[i - 3] : 0));
    return picture;
}

Bitmap StretchedPicture(HBITMAP picture, int width, int height)
{
    BITMAP source{};
    GetObjectA(picture, sizeof source, &source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    Bitmap stretched(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDc from(CreateCompatibleDC(nullptr));
    MemoryDc to(CreateCompatibleDC(nullptr));
    if (!stretched || !from || !to) return nullptr;
    HGDIOBJ oldFrom = SelectObject(from.get(), picture);
    HGDIOBJ oldTo = SelectObject(to.get(), stretched.get());
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, source.bmWidth, source.bmHeight,
               SRCCOPY);
    SelectObject(from.get(), oldFrom);
    SelectObject(to.get(), oldTo);
    return stretched;
}

TfrmAbout::~TfrmAbout()
{
    if (Handle) DestroyWindow(Handle);
}

HWND TfrmAbout::Create(HWND owner)
{
    RegisterFormClass(ClassName, FormWindowProc<TfrmAbout>, nullptr);

    CreateWindowExA(0, ClassName, "About", WindowStyle, 0, 0, 0, 0, owner, nullptr,
                    GetModuleHandleA(nullptr), this);
    if (Handle) CreateControls();
    return Handle;
}

void TfrmAbout::CreateControls()
{
    imgAbout =
        CreateControl(Handle, idPicture, WC_STATICA, "", SS_BITMAP | WS_CLIPSIBLINGS, {}, nullptr);
    // The click area, the version and the button lie over the picture. The
    // version is the build's, so it is text rather than pixels of the picture.
    Label1 = CreateControl(Handle, idLink, WC_STATICA, "", SS_NOTIFY, {}, nullptr);
    lbVersion = CreateControl(Handle, idVersion, WC_STATICA, "Version " TARNBELL_VERSION_TEXT, 0,
                              {}, nullptr);
    btnOk =
        CreateControl(Handle, idOk, WC_BUTTONA, "Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, {}, nullptr);
    for (HWND text : {Label1, lbVersion})
        SetWindowLongPtrA(text, GWL_EXSTYLE,
                          GetWindowLongPtrA(text, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    for (HWND over : {Label1, lbVersion, btnOk})
        SetWindowPos(over, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmAbout::ShowModal(HWND owner)
{
    closed_ = false;
    UINT dpi = DpiForWindow(Handle);
    SizeForDpi(Handle, ClientWidth, ClientHeight, dpi);
    ApplyDpi(dpi);
    EnableWindow(owner, FALSE);
    CenterOnScreen(Handle);
    ShowWindow(Handle, SW_SHOWNORMAL);
    // Above every other topmost window of the program, the level display
    // among them, as Windows keeps an owned window above its owner.
    SetWindowPos(Handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
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

// Lays the window out for `dpi`. The picture is expanded when first shown,
// so that a start that never opens the window neither spends the time nor
// keeps the pixels; at another scale a smoothed copy of it is shown.
void TfrmAbout::ApplyDpi(UINT dpi)
{
    if (!picture_) picture_.reset(LoadAboutPicture(GetModuleHandleA(nullptr)));
    Placement whole = Scaled({0, 0, ClientWidth, ClientHeight}, dpi);
    Bitmap shown = picture_ && whole.Width != ClientWidth
                       ? StretchedPicture(picture_.get(), whole.Width, whole.Height)
                       : nullptr;
    SendMessageA(imgAbout, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(shown ? shown.get() : picture_.get()));
    stretched_ = std::move(shown);
    Place(imgAbout, whole);

    Font font = CreateUiFont(FontPoints, dpi);
    for (HWND control : {Label1, lbVersion, btnOk})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    font_ = std::move(font);
    Place(Label1, Scaled(LinkArea, dpi));
    Place(lbVersion, Scaled(VersionArea, dpi));
    Place(btnOk, Scaled(OkButton, dpi));
    InvalidateRect(Handle, nullptr, TRUE);
}

LRESULT TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == idOk && HIWORD(wParam) == BN_CLICKED) btnOkClick();
        if (LOWORD(wParam) == IDCANCEL) btnOkClick();
        if (LOWORD(wParam) == idLink && HIWORD(wParam) == STN_CLICKED) Label1Click();
        return 0;
    case WM_CLOSE: btnOkClick(); return 0;
    case WmGetDpiScaledSize:
        *reinterpret_cast<SIZE*>(lParam) =
            FrameForDpi(Handle, ClientWidth, ClientHeight, static_cast<UINT>(wParam));
        return TRUE;
    case WM_DPICHANGED: {
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        Place(Handle, suggested);
        ApplyDpi(LOWORD(wParam));
        return 0;
    }
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
        if (reinterpret_cast<HWND>(lParam) == Label1 ||
            reinterpret_cast<HWND>(lParam) == lbVersion) {
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            SetTextColor(reinterpret_cast<HDC>(wParam), OverlayTextColour);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        break;
    }
    return DefWindowProcA(Handle, message, wParam, lParam);
}

void TfrmAbout::btnOkClick() { closed_ = true; }

void TfrmAbout::Label1Click() { OpenWithShell(Handle, ProductWebAddress); }
