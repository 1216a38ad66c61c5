#include "formAbout.h"

#include <commctrl.h>
#include <olectl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include "TarnbellVersion.h"
#include "app/Dpi.h"
#include "app/resource.h"

using Microsoft::WRL::ComPtr;

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

const BYTE* ResourceBytes(HMODULE module, int id, DWORD& size)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    size = found ? SizeofResource(module, found) : 0;
    return static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
}

// The PNG in `data`, decoded to 24-bit pixels at its own size.
ComPtr<IWICBitmapSource> DecodedSource(const BYTE* data, DWORD size)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converted;
    // The stream only reads the data.
    if (!data ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(factory->CreateFormatConverter(&converted)) ||
        FAILED(converted->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    return converted;
}

// A top-down 24-bit DIB section and where its pixels are.
Bitmap Dib(int width, int height, void*& bits)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    return Bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// `picture` smoothed to `width` x `height` by GDI's halftone stretch, which
// smooths alike on every Windows and under Wine (whose imaging scaler only
// repeats pixels).
Bitmap Stretched(HBITMAP picture, int width, int height)
{
    BITMAP source{};
    GetObjectA(picture, sizeof source, &source);
    void* bits = nullptr;
    Bitmap stretched = Dib(width, height, bits);
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

}  // namespace

Bitmap PictureFromPng(const BYTE* data, DWORD size, int width, int height)
{
    ComPtr<IWICBitmapSource> source = DecodedSource(data, size);
    UINT ownWidth = 0, ownHeight = 0;
    if (!source || FAILED(source->GetSize(&ownWidth, &ownHeight))) return nullptr;
    void* bits = nullptr;
    Bitmap picture = Dib(static_cast<int>(ownWidth), static_cast<int>(ownHeight), bits);
    const UINT stride = (ownWidth * 3 + 3) / 4 * 4;
    if (!picture ||
        FAILED(source->CopyPixels(nullptr, stride, stride * ownHeight, static_cast<BYTE*>(bits))))
        return nullptr;
    if (ownWidth == static_cast<UINT>(width) && ownHeight == static_cast<UINT>(height))
        return picture;
    return Stretched(picture.get(), width, height);
}

// OLE reads from a stream over memory of its own, which the stream frees.
Bitmap PictureFromJpeg(const BYTE* data, DWORD size, int width, int height)
{
    Owned<HGLOBAL, GlobalFree> memory(data ? GlobalAlloc(GMEM_MOVEABLE, size) : nullptr);
    void* bytes = memory ? GlobalLock(memory.get()) : nullptr;
    if (!bytes) return nullptr;
    CopyMemory(bytes, data, size);
    GlobalUnlock(memory.get());
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, &stream))) return nullptr;
    memory.release();
    ComPtr<IPicture> picture;
    OLE_HANDLE handle = 0;
    SHORT type = PICTYPE_UNINITIALIZED;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.GetAddressOf()))) ||
        FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture->get_Handle(&handle)))
        return nullptr;
    return Stretched(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), width, height);
}

Bitmap LoadAboutPicture(HMODULE module, int width, int height)
{
    DWORD size = 0;
    const BYTE* png = ResourceBytes(module, IDB_ABOUT, size);
    if (Bitmap picture = PictureFromPng(png, size, width, height)) return picture;
    const BYTE* jpeg = ResourceBytes(module, IDB_ABOUT_JPEG, size);
    return PictureFromJpeg(jpeg, size, width, height);
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
    // Centred first, as the window may have been closed on a monitor of
    // another scale, then sized for the monitor it is on now, and centred
    // again at that size.
    CenterOnScreen(Handle);
    UINT dpi = DpiForWindow(Handle);
    SizeForDpi(Handle, ClientWidth, ClientHeight, dpi);
    ApplyDpi(dpi);
    CenterOnScreen(Handle);
    EnableWindow(owner, FALSE);
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

// Lays the window out for `dpi`. The picture is decoded for the window's
// size each time the window is shown, so that a start that never opens it
// neither spends the time nor keeps the pixels.
void TfrmAbout::ApplyDpi(UINT dpi)
{
    Placement whole = Scaled({0, 0, ClientWidth, ClientHeight}, dpi);
    Bitmap shown = LoadAboutPicture(GetModuleHandleA(nullptr), whole.Width, whole.Height);
    // The control answers with the image it showed: ours, or a copy of its
    // own that it made of one with alpha, which is then ours to free.
    auto previous = reinterpret_cast<HBITMAP>(
        SendMessageA(imgAbout, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown.get())));
    if (previous && previous != picture_.get()) DeleteObject(previous);
    picture_ = std::move(shown);
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
