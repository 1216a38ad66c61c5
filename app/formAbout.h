#pragma once
// TfrmAbout: the About window, a picture with a clickable web address, the
// version and an "Ok" button, shown modally from the main window.
#include <windows.h>

#include "app/WinUi.h"

// The product's web page, shown in the About picture.
constexpr const char* ProductWebAddress = "https://tarnbell.example.org/";

// The PNG in `data`, decoded by the Windows Imaging Component and smoothed
// to `width` x `height`, as a 24-bit DIB section; null when it is damaged.
// COM must be initialised on the thread.
Bitmap PictureFromPng(const BYTE* data, DWORD size, int width, int height);
// The JPEG in `data`, decoded by OLE, which every Windows has, and smoothed
// alike; null when it is damaged.
Bitmap PictureFromJpeg(const BYTE* data, DWORD size, int width, int height);
// The About picture from `module`'s resources, as PictureFromPng makes it;
// where the imaging component is missing (Windows XP without .NET 3.0 or
// its own redistributable), from the JPEG copy of the picture.
Bitmap LoadAboutPicture(HMODULE module, int width, int height);

class TfrmAbout {
public:
    static constexpr const char* ClassName = "TfrmAbout";

    TfrmAbout() = default;
    ~TfrmAbout();
    TfrmAbout(const TfrmAbout&) = delete;
    TfrmAbout& operator=(const TfrmAbout&) = delete;

    // Creates the window hidden, owned by `owner`.
    HWND Create(HWND owner);
    // Shows the window and returns when it is closed.
    void ShowModal(HWND owner);

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void ApplyDpi(UINT dpi);
    void btnOkClick();
    void Label1Click();

    HWND Handle = nullptr;
    HWND imgAbout = nullptr;
    HWND Label1 = nullptr;
    HWND lbVersion = nullptr;
    HWND btnOk = nullptr;
    Font font_;
    Bitmap picture_;  // at the window's scale
    bool closed_ = true;
};
