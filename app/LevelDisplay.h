#pragma once
// TLevelDisplay: the level shown on screen after each hotkey action: the
// Channel's name over a level bar and the percent, or "Muted". It never
// takes the focus or a click, stays out of the task bar and Alt+Tab, and
// hides by itself soon after the last action. While hidden it keeps no
// timer; its window and picture are made once and reused.
#include <windows.h>

#include <string>

#include "app/WinUi.h"

class TLevelDisplay {
public:
    static constexpr const char* ClassName = "TLevelDisplay";

    // What SHQueryUserNotificationState says of the screen (a QUNS_ value).
    using NotificationStateQuery = int (*)();
    static int SystemNotificationState();

    explicit TLevelDisplay(NotificationStateQuery query = SystemNotificationState);
    ~TLevelDisplay();
    TLevelDisplay(const TLevelDisplay&) = delete;
    TLevelDisplay& operator=(const TLevelDisplay&) = delete;

    // Shows the level of `channel` at slider `position`, or "Muted", and
    // keeps it up a while longer; a display already up changes in place.
    // Nothing shows while a full-screen game or a presentation has the
    // screen. The window's text is what it shows.
    void Show(const std::string& channel, int position, bool muted);
    // Shows `reason` in place of the level: why the volume of `channel`
    // could not change.
    void ShowFailure(const std::string& channel, const std::string& reason);
    // Shows a state that has no level, such as "Microphone muted", alone.
    void ShowText(const std::string& text, bool muted);

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // A level with its bar, a reason in place of the level, or a text alone.
    enum class Look { Level, Reason, TextAlone };
    void Put(const std::string& name, const std::string& level, int position, bool muted,
             Look look);
    bool Create();
    void Place();
    void MakePicture();
    void Draw(const std::string& name, const std::string& level, int position, bool muted,
              Look look);
    void Present(HDC picture, BYTE opacity);
    void Fade();
    void Hide();

    NotificationStateQuery query_;
    HWND Handle = nullptr;
    Bitmap picture_;
    DWORD* pixels_ = nullptr;  // picture_'s own
    Font font_;
    UINT dpi_ = 0;  // the scale picture_ and font_ are made for
    SIZE size_{};
    POINT at_{};
    int fadeStep_ = 0;
};
