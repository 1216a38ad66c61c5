// The main window in process, with the real component beside the test
// program: the first show, hiding, Exit, and the tray icon's return after
// the shell restarts; the level display under a full-screen program.
#include "app/Main.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <vector>

#include "app/GlobeVar.h"
#include "app/LevelDisplay.h"
#include "app/Notifyicon.h"
#include "app/formAbout.h"
#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

struct Found {
    const char* className;
    const char* text;
    HWND control;
};

BOOL CALLBACK Match(HWND child, LPARAM param)
{
    auto* found = reinterpret_cast<Found*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, found->className) != 0) return TRUE;
    if (found->text && WindowText(child) != found->text) return TRUE;
    found->control = child;
    return FALSE;
}

HWND Child(HWND window, const char* className, const char* text = nullptr)
{
    Found found{className, text, nullptr};
    EnumChildWindows(window, Match, reinterpret_cast<LPARAM>(&found));
    return found.control;
}

// The shell takes a change of the window's icon only while it has it.
bool ShellHasIcon(HWND window, UINT id = TrayIconId)
{
    NOTIFYICONDATAA probe = TrayIconRecord(window, "", nullptr, id);
    probe.uFlags = NIF_TIP;
    return ShellNotifyIcon(NIM_MODIFY, &probe);
}

// Handles what is queued; true if the loop was told to end.
bool Pump(int milliseconds = 300)
{
    bool quit = false;
    DWORD end = GetTickCount() + milliseconds;
    MSG message;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) quit = true;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
    return quit;
}

UINT taskbarDpi = 96;  // the scale the task bar is drawn at
UINT FakeTaskbarDpi() { return taskbarDpi; }

class MainWindowTest : public ::testing::Test {
protected:
    ComApartment com;
    TfrmAbout about;
    TfrmMain main{about, FakeTaskbarDpi};
    HWND window = nullptr;

    void SetUp() override
    {
        DeleteFileA((ExecutableDirectory() + "TB.ini").c_str());
        window = main.Create();
        ASSERT_NE(window, nullptr);
        about.Create(window);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        Pump(50);
        DeleteFileA((ExecutableDirectory() + "TB.ini").c_str());
        BuildHotkeyBindings({{{-1, -1}, {-1, -1}, {-1, -1}}}, Hotkeys);
        taskbarDpi = 96;
    }

    int Slider()
    {
        return static_cast<int>(SendMessageA(Child(window, TRACKBAR_CLASSA), TBM_GETPOS, 0, 0));
    }
    void Click(const char* text)
    {
        HWND button = Child(window, WC_BUTTONA, text);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
};

TEST_F(MainWindowTest, StartsHiddenAndActsOnHotkeysOnlyAfterItsFirstShow)
{
    EXPECT_TRUE(ShellHasIcon(window));
    EXPECT_EQ(VolumeUpHotkey.Key.load(), 0x6B);   // the bindings are built at creation
    PostMessageA(window, WM_HOTKEYACTION, 1, 0);  // volume down, before the first show
    Pump();
    int before = Slider();
    PostMessageA(window, WM_HOTKEYACTION, 1, 0);
    Pump();
    EXPECT_EQ(Slider(), before);

    PostMessageA(window, WM_HOTKEYACTION, 1, 0);  // still waiting when the window shows
    main.ShowFirstTime(SW_SHOWNORMAL);
    Pump();
    EXPECT_FALSE(IsWindowVisible(window));  // back to the notification area at once
    EXPECT_EQ(Slider(), before);

    PostMessageA(window, WM_HOTKEYACTION, 1, 0);
    Pump();
    EXPECT_EQ(Slider(), before > 6553 ? before - 6553 : 0);
    PostMessageA(window, WM_HOTKEYACTION, 0, 0);
    Pump();
    EXPECT_EQ(Slider(), (before > 6553 ? before - 6553 : 0) + 6553);

    TAudioMixer component;  // the step reached the line the window selected
    EXPECT_EQ(component.srcVolume(), Slider());
}

// Started hidden, Windows shows nothing and sends no WM_SHOWWINDOW: ready
// for hotkeys all the same.
TEST_F(MainWindowTest, AHiddenStartIsReadyForHotkeys)
{
    main.ShowFirstTime(SW_HIDE);
    Pump();
    int before = Slider();
    PostMessageA(window, WM_HOTKEYACTION, before < 6553 ? 0 : 1, 0);
    Pump();
    EXPECT_EQ(Slider(), before < 6553 ? before + 6553 : before - 6553);
}

TEST_F(MainWindowTest, ClosingHidesAndOnlyExitEnds)
{
    main.ShowFirstTime(SW_SHOWNORMAL);
    Pump();
    PostMessageA(window, WM_TRAYNOTIFY, TrayIconId, WM_LBUTTONUP);
    Pump();
    EXPECT_TRUE(IsWindowVisible(window));

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(Pump());

    Click("Exit");
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(Pump(50));  // the message loop is told to end
    EXPECT_FALSE(ShellHasIcon(window));
    EXPECT_NE(GetFileAttributesA((ExecutableDirectory() + "TB.ini").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainWindowTest, TrayIconComesBackWhenTheShellRestarts)
{
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = TrayIconId;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));  // the shell lost it
    icon.uFlags = NIF_TIP;
    ASSERT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon));

    taskbarDpi = 144;  // the new shell draws at another scale
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &icon));
    EXPECT_EQ(main.TrayImageSize(), 24);

    // The microphone icon, there while they are muted, comes back too.
    main.ShowFirstTime(SW_HIDE);
    PostMessageA(window, WM_HOTKEYACTION, 0, 2);
    Pump();
    ASSERT_TRUE(ShellHasIcon(window, MicTrayIconId));
    icon.uID = MicTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellHasIcon(window, MicTrayIconId));
    // Turned on elsewhere (here, in this process), they lose the icon within
    // about a second.
    TAudioMixer().setMicMute(false);
    for (int waited = 0; waited < 3000 && ShellHasIcon(window, MicTrayIconId); waited += 100)
        Pump(100);
    EXPECT_FALSE(ShellHasIcon(window, MicTrayIconId));
}

// The tray images follow the task bar's scale whenever it may have changed,
// and not the scale of the monitor the window moves to.
TEST_F(MainWindowTest, TrayImagesFollowTheTaskBarsScale)
{
    EXPECT_EQ(main.TrayImageSize(), 16);
    taskbarDpi = 120;
    SendMessageA(window, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(main.TrayImageSize(), 20);
    taskbarDpi = 192;
    SendMessageA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    EXPECT_EQ(main.TrayImageSize(), 32);
    RECT suggested{0, 0, 741, 711};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(main.TrayImageSize(), 32);
}

std::string SettingsText()
{
    std::string text;
    HANDLE file = CreateFileA((ExecutableDirectory() + "TB.ini").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

HWND EditOf(HWND comboBox) { return FindWindowExA(comboBox, nullptr, "Edit", nullptr); }

void Key(HWND target, WPARAM key)
{
    SendMessageA(target, WM_KEYDOWN, key, 1);
    SendMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// A list tells of a pick before its edit field shows the entry: the pick
// still counts at once. An edit of the text leaves no entry chosen.
TEST_F(MainWindowTest, KeysInAListTakeEffectAtOnce)
{
    HWND upKey = Child(window, WC_COMBOBOXA, "Numpad +");
    ASSERT_NE(upKey, nullptr);
    Key(EditOf(upKey), VK_DOWN);  // to "Numpad -"
    EXPECT_EQ(VolumeUpHotkey.Key.load(), 0x6D);
    EXPECT_NE(SettingsText().find("VolumeUp=56\r\n"), std::string::npos) << SettingsText();

    HWND stepUp = Child(window, WC_COMBOBOXA, "10%");
    Key(EditOf(stepUp), VK_UP);  // to "5%"
    EXPECT_NE(SettingsText().find("StepUp=4\r\n"), std::string::npos) << SettingsText();

    Key(EditOf(upKey), VK_DELETE);
    EXPECT_EQ(VolumeUpHotkey.Key.load(), 0);
    EXPECT_NE(SettingsText().find("VolumeUp=-1\r\n"), std::string::npos) << SettingsText();
}

// The key lists beside the shown marks: two rows that share keys show it at
// once, and the marks go with the clash.
std::vector<std::string> MarkedRows(HWND window)
{
    std::vector<std::string> marked;
    for (HWND mark = GetWindow(window, GW_CHILD); mark; mark = GetWindow(mark, GW_HWNDNEXT)) {
        if (WindowText(mark) != "!" || !(GetWindowLongA(mark, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT at, list;
        GetWindowRect(mark, &at);
        POINT left{at.left - 10, (at.top + at.bottom) / 2};
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (GetWindowRect(c, &list) && PtInRect(&list, left) &&
                FindWindowExA(c, nullptr, "Edit", nullptr))
                marked.push_back(WindowText(c));
    }
    return marked;
}

TEST_F(MainWindowTest, RowsWithTheSameKeysAreMarkedAtOnce)
{
    EXPECT_TRUE(MarkedRows(window).empty());
    HWND upKey = Child(window, WC_COMBOBOXA, "Numpad +");
    Key(EditOf(upKey), VK_DOWN);  // Volume down's "Numpad -"
    EXPECT_EQ(MarkedRows(window), (std::vector<std::string>{"Numpad -", "Numpad -"}));
    Key(EditOf(upKey), VK_DOWN);  // Mute's "Numpad *"
    EXPECT_EQ(MarkedRows(window), (std::vector<std::string>{"Numpad *", "Numpad *"}));
    HWND upModifier = Child(window, WC_COMBOBOXA, "<None>");
    Key(EditOf(upModifier), VK_DOWN);  // Ctrl + Numpad * is another hotkey
    EXPECT_TRUE(MarkedRows(window).empty());
}

TEST_F(MainWindowTest, EndOfTheSessionSavesTheSettings)
{
    HWND muteKey = Child(window, WC_COMBOBOXA, "Numpad *");
    SendMessageA(muteKey, CB_SETCURSEL, 58, 0);  // set by the program: no change event, no save
    ASSERT_NE(SettingsText().find("Mute=57\r\n"), std::string::npos);
    EXPECT_TRUE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_NE(SettingsText().find("Mute=58\r\n"), std::string::npos) << SettingsText();

    SendMessageA(muteKey, CB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_NE(SettingsText().find("\nMute=0\r\n"), std::string::npos) << SettingsText();
}

// Raw input only from the icon's mouse-move callback until the timer finds
// the pointer gone (Wine tells no icon rectangle: near where the callback
// found it). Nothing is registered at rest.
TEST_F(MainWindowTest, RawInputOnlyWhileThePointerIsOverTheIcon)
{
    auto registered = [] {
        UINT count = 0;
        GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE));
        return count;
    };
    EXPECT_EQ(registered(), 0u);
    SetCursorPos(200, 200);
    SendMessageA(window, WM_TRAYNOTIFY, MicTrayIconId, WM_MOUSEMOVE);  // not the volume's icon
    Pump(TrayHoverInterval * 2);
    EXPECT_EQ(registered(), 0u);
    SendMessageA(window, WM_TRAYNOTIFY, TrayIconId, WM_MOUSEMOVE);
    Pump(TrayHoverInterval * 2);
    EXPECT_EQ(registered(), 1u);
    SetCursorPos(200, 300);
    Pump(TrayHoverInterval * 2);
    EXPECT_EQ(registered(), 0u);
}

int TextWidth(HWND control, const std::string& text)
{
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    return TextSize(control, font, text).cx;
}

// What is wrong with the window's layout: a control outside the client area
// or its group box, two controls overlapping, a label, button or list entry
// wider than its control in the control's own font.
std::string LayoutFaults(HWND window, int width, int height)
{
    std::vector<std::pair<HWND, RECT>> controls;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
        controls.emplace_back(c, r);
    }
    auto group = [](HWND c) { return (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX; };
    auto inside = [](const RECT& in, const RECT& out) {
        return in.left >= out.left && in.top >= out.top && in.right <= out.right &&
               in.bottom <= out.bottom;
    };
    std::string faults;
    for (auto& [c, r] : controls) {
        std::string name = WindowText(c) + " ";
        if (!inside(r, RECT{0, 0, width, height})) faults += name + "outside; ";
        for (auto& [other, o] : controls) {
            RECT common;
            bool meet = other != c && IntersectRect(&common, &r, &o);
            if (meet && group(other) && !group(c) && !inside(r, o)) faults += name + "half in; ";
            if (meet && !group(other) && !group(c)) faults += name + "overlaps; ";
        }
        HWND edit = FindWindowExA(c, nullptr, "Edit", nullptr);
        RECT room;
        GetClientRect(edit ? edit : c, &room);
        auto count = static_cast<int>(SendMessageA(c, CB_GETCOUNT, 0, 0));
        for (int i = edit ? 0 : -1; i < (edit ? count : 0); ++i) {
            char text[64] = {};
            SendMessageA(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            if (TextWidth(edit, text) > room.right) faults += name + text + " cut; ";
        }
        if (!edit && !group(c) && TextWidth(c, WindowText(c)) > room.right)
            faults += name + "cut; ";
    }
    return faults;
}

// Moved to a monitor of another scale, the window takes the place Windows
// suggests at the size it asked for, and lays its controls out anew.
TEST_F(MainWindowTest, TakesTheScaleOfAnotherMonitor)
{
    struct Scale {
        UINT Dpi;
        int Width, Height;
    };
    for (Scale scale : {Scale{144, 741, 711}, Scale{120, 618, 593}, Scale{96, 494, 474}}) {
        SIZE frame{};
        ASSERT_TRUE(
            SendMessageA(window, WmGetDpiScaledSize, scale.Dpi, reinterpret_cast<LPARAM>(&frame)));
        RECT suggested{30, 40, 30 + frame.cx, 40 + frame.cy}, now;
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(scale.Dpi, scale.Dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(window, &now);
        EXPECT_TRUE(EqualRect(&now, &suggested)) << scale.Dpi;
        EXPECT_EQ(LayoutFaults(window, scale.Width, scale.Height), "") << scale.Dpi;
    }
}

TEST(EditableList, TypedCharactersAreSwallowedAndEditsClearTheSelection)
{
    HWND list = CreateWindowExA(0, WC_COMBOBOXA, "", WS_POPUP | CBS_DROPDOWN, 0, 0, 100, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    SwallowTypedCharacters(list);
    AddItem(list, "5%");
    AddItem(list, "10%");
    SetItemIndex(list, 1);
    EXPECT_EQ(ItemIndex(list), 1);

    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(list, &info));
    SendMessageA(info.hwndItem, WM_CHAR, 'x', 0);
    EXPECT_EQ(WindowText(list), "10%");
    EXPECT_EQ(ItemIndex(list), 1);

    SetWindowTextA(info.hwndItem, "10");  // as a Delete key or a paste leaves it
    EXPECT_EQ(ItemIndex(list), -1);
    DestroyWindow(list);
}

int screenState = QUNS_ACCEPTS_NOTIFICATIONS;  // what the shell says of the screen
int FakeNotificationState() { return screenState; }

BOOL CALLBACK FindShownDisplay(HWND window, LPARAM found)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, TLevelDisplay::ClassName) == 0 && IsWindowVisible(window))
        *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

HWND ShownDisplay()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindShownDisplay, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A press that cannot change the volume is answered on screen with why: a
// step list whose text was edited away, as the Delete key leaves it.
TEST_F(MainWindowTest, APressThatChangesNothingSaysWhy)
{
    main.ShowFirstTime(SW_HIDE);
    Pump();
    SetWindowTextA(EditOf(Child(window, WC_COMBOBOXA, "10%")), "");
    PostMessageA(window, WM_HOTKEYACTION, 0, 0);
    Pump();
    ASSERT_NE(ShownDisplay(), nullptr);
    std::string channel = WindowText(Child(window, WC_COMBOBOXA));  // the first list
    EXPECT_EQ(WindowText(ShownDisplay()), channel + " '' is not a step");
}

// A game in exclusive full screen or a presentation keeps the screen; a
// borderless full-screen window (the shell says "busy") does not. Clicks
// and the focus stay with the windows beneath.
TEST(LevelDisplay, KeepsOffFullScreenProgramsAndTakesNoInput)
{
    TLevelDisplay display(FakeNotificationState);
    for (int state : {QUNS_RUNNING_D3D_FULL_SCREEN, QUNS_PRESENTATION_MODE}) {
        screenState = state;
        display.Show("Master Volume", 39321, false);
        EXPECT_EQ(ShownDisplay(), nullptr) << state;
    }
    screenState = QUNS_BUSY;
    display.Show("Master Volume", 39321, false);
    ASSERT_NE(ShownDisplay(), nullptr);
    constexpr LONG_PTR apart =
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    EXPECT_EQ(GetWindowLongPtrA(ShownDisplay(), GWL_EXSTYLE) & apart, apart);
}

}  // namespace
