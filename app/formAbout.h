#pragma once
// TfrmAbout: the About window, a picture with a clickable web address, the
// version and an "Ok" button, shown modally from the main window.
#include <windows.h>

#include "app/WinUi.h"

// The product's web page, shown in the About picture.
constexpr const char* ProductWebAddress = "https://tarnbell.example.org/";

// The About picture from `module`'s resources, expanded into a 24-bit DIB
// section; null when it is missing or damaged.
HBITMAP LoadAboutPicture(HMODULE module);
// A copy of `picture` stretched to `width` x `height`, smoothed.
Bitmap StretchedPicture(HBITMAP picture, int width, int height);

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
    Bitmap picture_;
    Bitmap stretched_;  // the picture at the window's scale, when not 96 DPI
    bool closed_ = true;
};
