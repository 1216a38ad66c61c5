#include "LevelDisplay.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "app/Dpi.h"
#include "volume/VolumeController.h"

namespace {

// The picture at 96 dots per inch; scaled for the monitor it shows on.
constexpr int Width = 240;
constexpr int Height = 64;
constexpr RECT NameArea{12, 8, 228, 30};
constexpr RECT Track{12, 38, 176, 50};
constexpr RECT LevelArea{180, 32, 228, 56};
constexpr RECT ReasonArea{12, 32, 228, 56};
constexpr int FontHeight = -15;
constexpr const char* FontName = "Tahoma";  // scalable, and on every Windows since XP
constexpr int GapAboveWorkAreaBottom = 48;

constexpr UINT_PTR HideTimer = 1;
constexpr UINT ShowTime = 1500;  // ms from the last action to the fade
constexpr UINT FadeInterval = 40;
constexpr int FadeSteps = 6;
constexpr BYTE Opacity = 230;  // what lies beneath still shows a little

struct Palette {
    COLORREF Back, Text, Frame, Level;
};

// High contrast asks for the system's colours; otherwise a dark panel.
Palette CurrentPalette(bool muted)
{
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    if (SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON))
        return {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT),
                GetSysColor(COLOR_WINDOWTEXT),
                GetSysColor(muted ? COLOR_GRAYTEXT : COLOR_HIGHLIGHT)};
    return {RGB(32, 32, 32), RGB(255, 255, 255), RGB(112, 112, 112),
            muted ? RGB(112, 112, 112) : RGB(0, 120, 215)};
}

RECT Scaled(const RECT& r, UINT dpi)
{
    return {ScaleForDpi(r.left, dpi), ScaleForDpi(r.top, dpi), ScaleForDpi(r.right, dpi),
            ScaleForDpi(r.bottom, dpi)};
}

void Fill(HDC dc, RECT r, COLORREF color)
{
    SetDCBrushColor(dc, color);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Frame(HDC dc, RECT r, COLORREF color)
{
    SetDCBrushColor(dc, color);
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Text(HDC dc, const std::string& text, RECT r, UINT align)
{
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// A text alone is centred in `area`, broken over lines where one is too
// short for it (a reason such as why the output could not change).
void CentredText(HDC dc, const std::string& text, RECT area)
{
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS;
    RECT measured = area;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
    const int height = std::min(measured.bottom - measured.top, area.bottom - area.top);
    area.top += (area.bottom - area.top - height) / 2;
    area.bottom = area.top + height;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

}  // namespace

int TLevelDisplay::SystemNotificationState()
{
    // Windows Vista and later know it; earlier ones have no such state.
    using Query = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);
    auto query =
        OptionalExport<Query>(GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState");
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (query && FAILED(query(&state))) state = QUNS_ACCEPTS_NOTIFICATIONS;
    return state;
}

TLevelDisplay::TLevelDisplay(NotificationStateQuery query) : query_(query) {}

TLevelDisplay::~TLevelDisplay()
{
    if (Handle) DestroyWindow(Handle);
}

void TLevelDisplay::Show(const std::string& channel, int position, bool muted)
{
    std::string name = channel.empty() ? "Volume" : channel;
    Put(name, muted ? "Muted" : std::to_string(VolumePercent(position)) + "%", position, muted,
        Look::Level);
}

void TLevelDisplay::ShowFailure(const std::string& channel, const std::string& reason)
{
    Put(channel.empty() ? "Volume" : channel, reason, 0, false, Look::Reason);
}

void TLevelDisplay::ShowText(const std::string& text, bool muted)
{
    Put(text, "", 0, muted, Look::TextAlone);
}

void TLevelDisplay::Put(const std::string& name, const std::string& level, int position, bool muted,
                        Look look)
{
    // A game in exclusive full screen or a presentation keeps the screen to
    // itself; a borderless window in full screen does not.
    int state = query_();
    if (state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE) return;
    if (!Handle && !Create()) return;
    // Shown first, then given its picture: a layered window appears only
    // once it has one, so nothing old flashes up.
    if (!IsWindowVisible(Handle)) {
        Place();
        SetWindowPos(Handle, HWND_TOPMOST, at_.x, at_.y, size_.cx, size_.cy,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    SetWindowTextA(Handle, (look == Look::TextAlone ? name : name + " " + level).c_str());
    Draw(name, level, position, muted, look);
    fadeStep_ = 0;
    SetTimer(Handle, HideTimer, ShowTime, nullptr);
}

bool TLevelDisplay::Create()
{
    RegisterFormClass(ClassName, FormWindowProc<TLevelDisplay>, nullptr);
    // Layered and transparent: clicks go to the window beneath.
    CreateWindowExA(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
        ClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    return Handle != nullptr;
}

// Near the bottom of the work area of the monitor the user is looking at,
// sized for that monitor's scale. Monitors come and go between shows.
void TLevelDisplay::Place()
{
    HMONITOR monitor = MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    UINT dpi = DpiForMonitor(monitor);
    if (dpi != dpi_ || !picture_) {
        size_ = {ScaleForDpi(Width, dpi), ScaleForDpi(Height, dpi)};
        MakePicture();
        font_ = Font(CreateFontA(ScaleForDpi(FontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                 FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, FontName));
        dpi_ = dpi;
    }
    const RECT& work = info.rcWork;
    at_ = {work.left + CenteredOrigin(work.right - work.left, size_.cx),
           work.bottom - size_.cy - ScaleForDpi(GapAboveWorkAreaBottom, dpi)};
}

// Pixels of their own, top row first, so that each can be made opaque:
// drawing leaves them transparent, and Wine then shows nothing at all.
void TLevelDisplay::MakePicture()
{
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size_.cx;
    format.bmiHeader.biHeight = -size_.cy;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    picture_.reset(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &pixels, nullptr, 0));
    pixels_ = picture_ ? static_cast<DWORD*>(pixels) : nullptr;
}

void TLevelDisplay::Draw(const std::string& name, const std::string& level, int position,
                         bool muted, Look look)
{
    Owned<HDC, DeleteDC> dc(CreateCompatibleDC(nullptr));
    HGDIOBJ oldPicture = SelectObject(dc.get(), picture_.get());
    HGDIOBJ oldFont = SelectObject(dc.get(), font_.get());
    Palette colors = CurrentPalette(muted);

    Fill(dc.get(), {0, 0, size_.cx, size_.cy}, colors.Back);
    Frame(dc.get(), {0, 0, size_.cx, size_.cy}, colors.Frame);
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), colors.Text);
    if (look == Look::TextAlone) {
        // Alone, the text takes the middle of the picture.
        CentredText(dc.get(), name, Scaled(RECT{NameArea.left, 0, NameArea.right, Height}, dpi_));
    } else if (look == Look::Reason) {
        // The reason takes the track's row: there is no level to show.
        Text(dc.get(), name, Scaled(NameArea, dpi_), DT_LEFT);
        Text(dc.get(), level, Scaled(ReasonArea, dpi_), DT_LEFT);
    } else {
        Text(dc.get(), name, Scaled(NameArea, dpi_), DT_LEFT);
        Text(dc.get(), level, Scaled(LevelArea, dpi_), DT_RIGHT);
        RECT track = Scaled(Track, dpi_);
        Frame(dc.get(), track, colors.Frame);
        InflateRect(&track, -1, -1);
        track.right = track.left + MulDiv(track.right - track.left, position, FullVolume);
        Fill(dc.get(), track, colors.Level);
    }
    GdiFlush();
    for (DWORD* pixel = pixels_; pixel && pixel < pixels_ + size_.cx * size_.cy; ++pixel)
        *pixel |= 0xFF000000;

    Present(dc.get(), Opacity);
    SelectObject(dc.get(), oldFont);
    SelectObject(dc.get(), oldPicture);
}

// With no picture the window keeps the one it has and takes only the
// new opacity.
void TLevelDisplay::Present(HDC picture, BYTE opacity)
{
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    POINT origin{0, 0};
    UpdateLayeredWindow(Handle, nullptr, picture ? &at_ : nullptr, picture ? &size_ : nullptr,
                        picture, picture ? &origin : nullptr, 0, &blend, ULW_ALPHA);
}

void TLevelDisplay::Fade()
{
    if (++fadeStep_ > FadeSteps) return Hide();
    Present(nullptr, static_cast<BYTE>(Opacity * (FadeSteps - fadeStep_) / FadeSteps));
    SetTimer(Handle, HideTimer, FadeInterval, nullptr);
}

void TLevelDisplay::Hide()
{
    KillTimer(Handle, HideTimer);
    ShowWindow(Handle, SW_HIDE);
    fadeStep_ = 0;
}

LRESULT TLevelDisplay::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == HideTimer) Fade();
        return 0;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_NCDESTROY:
        SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
        Handle = nullptr;
        return 0;
    }
    return DefWindowProcA(Handle, message, wParam, lParam);
}
