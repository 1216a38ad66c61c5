#include "Main.h"

#include "app/GlobeVar.h"
#include "app/Notifyicon.h"
#include "app/WindowMessages.h"
#include "app/formAbout.h"
#include "app/resource.h"
#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyDetect.h"
#include "settings/PrivateProfileStore.h"
#include "settings/Settings.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

constexpr int ClientWidth = 494;
constexpr int ClientHeight = 314;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD WindowExStyle = WS_EX_TOPMOST;

enum ControlId {
    idGroupBox1 = 100,
    idPlayBackVolume,
    idMute,
    idGroupBox2,
    idSource,
    idHotkey1,
    idLabel1,
    idLabel4,
    idLabel5,
    idVolumeUp,
    idVolumeDown,
    idMuteKeyModifier,
    idPlusUp,
    idPlusDown,
    idPlusMute,
    idVolumeUp1,
    idVolumeDown1,
    idMute1,
    idGroupBox3,
    idLabel2,
    idLabel3,
    idStepUp,
    idStepDown,
    idHelp,
    idAbout,
    idHide,
    idExit,
};

// Drop-down heights include the opened list. Common controls 6 size an
// opened list by its number of entries instead: as many as fit that height,
// so that the list opens below its box on both and on a 768-pixel screen.
constexpr int ListDropHeight = 260;
constexpr int ListVisibleEntries = 18;
constexpr DWORD ListStyle = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD ButtonStyle = BS_PUSHBUTTON | WS_TABSTOP;

constexpr Placement VolumeGroup{21, 20, 276, 65};
constexpr Placement ChannelGroup{314, 20, 159, 65};
constexpr Placement HotkeyGroup{21, 106, 276, 133};
constexpr Placement StepGroup{314, 106, 159, 133};

Placement Inside(const Placement& group, int left, int top, int width, int height)
{
    return {group.Left + left, group.Top + top, width, height};
}

}  // namespace

TfrmMain::TfrmMain(TfrmAbout& about) : frmAbout(about) {}

TfrmMain::~TfrmMain()
{
    if (Handle) DestroyWindow(Handle);
}

HWND TfrmMain::Create()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterFormClass(ClassName, FormWindowProc<TfrmMain>,
                      LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARNBELL)));

    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, WindowExStyle);
    CreateWindowExA(WindowExStyle, ClassName, "Tarnbell", WindowStyle, 0, 0,
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                    this);
    if (!Handle) return nullptr;
    CreateControls();
    CenterOnScreen(Handle);
    FormCreate();
    return Handle;
}

void TfrmMain::ShowFirstTime()
{
    ShowWindow(Handle, SW_SHOWNORMAL);
    UpdateWindow(Handle);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == tbPlayBackVolume) tbPlaybackVolumeChange();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && FromWithinProgram(reinterpret_cast<HWND>(lParam)))
            FormActivate();
        break;
    case WM_FIRSTACTIVATE: FormActivate(); return 0;
    case WM_CLOSE: FormClose(); return 0;
    case WM_QUERYENDSESSION:
        // Windows ends the session without the destruction step: what the
        // user chose is kept now.
        Guarded([this] { SaveSettings(); });
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) Guarded([this] { SaveSettings(); });
        return 0;
    case WM_DESTROY:
        FormDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
        Handle = nullptr;
        return 0;
    case WM_HOTKEYACTION: HotkeyActionMessage(wParam, lParam); return 0;
    case WM_TRAYNOTIFY: {
        LRESULT result = DefWindowProcA(Handle, message, wParam, lParam);
        TrayNotifyMessage(lParam);
        return result;
    }
    default:
        if (message == taskbarCreated_ && taskbarCreated_ != 0) {
            // The notification area was made anew (the shell restarted):
            // without our icon there would be no way back to the window.
            TrayIconAdded = false;
            AddTrayIconNow();
            return 0;
        }
    }
    return DefWindowProcA(Handle, message, wParam, lParam);
}

void TfrmMain::Command(int id, int code, HWND control)
{
    // Only the window's own lists, so that no other control is marked.
    auto listChanged = [&] {
        return control == GetDlgItem(Handle, id) && ListChanged(control, code);
    };
    switch (id) {
    case idVolumeUp:
    case idVolumeDown:
    case idMuteKeyModifier:
    case idVolumeUp1:
    case idVolumeDown1:
    case idMute1:
        if (listChanged()) comboxVolumeUpChange();
        break;
    case idStepUp:
        if (listChanged()) cboxStepUpChange();
        break;
    case idStepDown:
        if (listChanged()) cboxStepDownChange();
        break;
    case idSource:
        if (listChanged()) comboxSourceChange();
        break;
    case idMute:
        if (code == BN_CLICKED) cboxMuteClick();
        break;
    case idHelp:
        if (code == BN_CLICKED) btnHelpClick();
        break;
    case idAbout:
        if (code == BN_CLICKED) btnAboutClick();
        break;
    case idHide:
        if (code == BN_CLICKED) btnHideClick();
        break;
    case idExit:
        if (code == BN_CLICKED) btnExitClick();
        break;
    }
}

// Runs one step of a sequence whose later steps must run even when this one
// fails; the failure goes to the application-wide handler.
template <typename Handler>
void TfrmMain::Guarded(Handler handler)
{
    try {
        handler();
    } catch (...) {
        ApplicationEvents1Exception();
    }
}

// ---- creation and destruction -------------------------------------------

void TfrmMain::FormCreate()
{
    FirstShowPending = true;
    Ready = false;
    AppDir = ExecutableDirectory();
    CreateMixer();
    Volume = std::make_unique<VolumeController>(*this, Mixer.get());
    Detector = THotkeyDetector::Start(Handle);
    Guarded([this] { LoadSettingsOrDefaults(); });
    ExitRequested = false;
    BuildHotkeyBindings();
    Guarded([this] {
        Volume->SelectDevice();
        Volume->RefreshLineList();
    });
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    AllowMessageFromLowerPrivilege(Handle, taskbarCreated_);
    Guarded([this] { AddTrayIconNow(); });
}

// Registers the component's server and creates it. The installed copy in the
// system directory comes first; a copy beside the program serves when there
// is none, so Tarnbell runs from any folder. Without a component the window
// still works; the volume then reaches nothing.
void TfrmMain::CreateMixer()
{
    std::string installed = SystemDirectory() + "\\" + TarnMixerFileName;
    RegisterComponentServer(FileExists(installed) ? installed : AppDir + TarnMixerFileName, true);
    Guarded([this] { Mixer = std::make_unique<TAudioMixer>(); });
}

void TfrmMain::FormDestroy()
{
    Guarded([this] { SaveSettings(); });
    if (Detector) Detector->Terminate();
    Volume.reset();
    Mixer.reset();
    DeleteTrayIcon(Handle);
}

// ---- showing and hiding --------------------------------------------------

void TfrmMain::FormShow()
{
    if (!FirstShowPending) return;
    // Hotkeys pressed before the first show have no effect, also those whose
    // actions still wait in the queue.
    MSG early{};
    while (PeekMessageA(&early, Handle, WM_HOTKEYACTION, WM_HOTKEYACTION, PM_REMOVE)) {}
    Ready = true;
    FirstShowPending = false;
    PostMessageA(Handle, WM_FIRSTACTIVATE, 0, 0);
}

void TfrmMain::FormActivate() { HideToTray(); }

void TfrmMain::FormClose()
{
    if (!ExitRequested) {
        HideToTray();
        return;
    }
    DestroyWindow(Handle);
}

void TfrmMain::btnHideClick() { HideToTray(); }

void TfrmMain::btnExitClick()
{
    ExitRequested = true;
    SendMessageA(Handle, WM_CLOSE, 0, 0);
}

void TfrmMain::HideToTray() { ShowWindow(Handle, SW_HIDE); }

// Outputs may have come or gone and the volume changed elsewhere while the
// window was hidden: it shows them as they are now.
void TfrmMain::ShowFromTray()
{
    Guarded([this] { Volume->Refresh(); });
    CenterOnScreen(Handle);
    ShowWindow(Handle, SW_SHOWNORMAL);
    SetForegroundWindow(Handle);
}

// Activation that comes back from another window of this program (the
// About window) sends the main window back to the notification area.
bool TfrmMain::FromWithinProgram(HWND previous) const
{
    if (!previous || previous == Handle) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(previous, &process);
    return process == GetCurrentProcessId();
}

void TfrmMain::btnHelpClick() { OpenWithShell(Handle, AppDir + "tarnbell.chm"); }

void TfrmMain::btnAboutClick() { frmAbout.ShowModal(Handle); }

// ---- hotkeys and settings ------------------------------------------------

void TfrmMain::comboxVolumeUpChange()
{
    BuildHotkeyBindings();
    SaveSettings();
}

void TfrmMain::cboxStepUpChange() { SaveSettings(); }

void TfrmMain::cboxStepDownChange() { SaveSettings(); }

void TfrmMain::BuildHotkeyBindings()
{
    ::BuildHotkeyBindings({ItemIndex(comboxVolumeUp), ItemIndex(comboxVolumeUp1)},
                          {ItemIndex(comboxVolumeDown), ItemIndex(comboxVolumeDown1)},
                          {ItemIndex(comboxMute), ItemIndex(comboxMute1)}, VolumeUpHotkey,
                          VolumeDownHotkey, MuteHotkey);
}

void TfrmMain::LoadSettingsOrDefaults()
{
    std::string fileName = SettingsFileName(AppDir);
    PrivateProfileStore store(fileName);
    SettingsChoices choices = Choices();
    bool exists = FileExists(fileName);
    try {
        LoadOrCreateSettings(store, exists, choices);
    } catch (...) {
        ShowChoices(choices);  // the defaults stay in effect when the write fails
        throw;
    }
    ShowChoices(choices);
}

void TfrmMain::SaveSettings()
{
    PrivateProfileStore store(SettingsFileName(AppDir));
    ::SaveSettings(store, Choices());
}

SettingsChoices TfrmMain::Choices() const
{
    SettingsChoices c;
    c.PreVolumeUp = ItemIndex(comboxVolumeUp);
    c.VolumeUp = ItemIndex(comboxVolumeUp1);
    c.PreVolumeDown = ItemIndex(comboxVolumeDown);
    c.VolumeDown = ItemIndex(comboxVolumeDown1);
    c.PreMute = ItemIndex(comboxMute);
    c.Mute = ItemIndex(comboxMute1);
    c.StepUp = ItemIndex(cboxStepUp);
    c.StepDown = ItemIndex(cboxStepDown);
    return c;
}

void TfrmMain::ShowChoices(const SettingsChoices& c)
{
    SetItemIndex(comboxVolumeUp, c.PreVolumeUp);
    SetItemIndex(comboxVolumeUp1, c.VolumeUp);
    SetItemIndex(comboxVolumeDown, c.PreVolumeDown);
    SetItemIndex(comboxVolumeDown1, c.VolumeDown);
    SetItemIndex(comboxMute, c.PreMute);
    SetItemIndex(comboxMute1, c.Mute);
    SetItemIndex(cboxStepUp, c.StepUp);
    SetItemIndex(cboxStepDown, c.StepDown);
}

// ---- volume controls -----------------------------------------------------

void TfrmMain::comboxSourceChange() { Volume->comboxSourceChange(); }

void TfrmMain::tbPlaybackVolumeChange() { Volume->SliderScrolled(); }

void TfrmMain::cboxMuteClick() { Volume->cboxMuteClick(); }

void TfrmMain::HotkeyActionMessage(WPARAM wParam, LPARAM lParam)
{
    if (!Ready) return;
    Volume->HotkeyAction(wParam, lParam);
}

void TfrmMain::ClearChannels() { SendMessageA(comboxSource, CB_RESETCONTENT, 0, 0); }

void TfrmMain::AddChannel(const std::string& name) { AddItem(comboxSource, name); }

void TfrmMain::SelectChannel(int index) { SetItemIndex(comboxSource, index); }

int TfrmMain::SelectedChannel() const { return ItemIndex(comboxSource); }

int TfrmMain::SliderPosition() const
{
    return static_cast<int>(SendMessageA(tbPlayBackVolume, TBM_GETPOS, 0, 0));
}

void TfrmMain::SetSliderPosition(int position)
{
    SendMessageA(tbPlayBackVolume, TBM_SETPOS, TRUE, position);
}

bool TfrmMain::MuteChecked() const
{
    return SendMessageA(cboxMute, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmMain::SetMuteChecked(bool checked)
{
    SendMessageA(cboxMute, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TfrmMain::StepUpText() const { return ListText(cboxStepUp); }

std::string TfrmMain::StepDownText() const { return ListText(cboxStepDown); }

// ---- tray icon -----------------------------------------------------------

Icon TfrmMain::TrayImage() const
{
    return Icon(ImageList1 ? ImageList_GetIcon(ImageList1.get(), MuteChecked() ? 1 : 0, ILD_NORMAL)
                           : nullptr);
}

void TfrmMain::UpdateTrayIcon()
{
    Icon icon = TrayImage();
    ModifyTrayIcon(Handle, TrayTipText(SliderPosition(), ListText(comboxSource)), icon.get());
}

void TfrmMain::AddTrayIconNow()
{
    Icon icon = TrayImage();
    AddTrayIcon(Handle, TrayTipText(SliderPosition(), ListText(comboxSource)), icon.get());
}

void TfrmMain::TrayNotifyMessage(LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE: UpdateTrayIcon(); break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: ShowFromTray(); break;
    }
}

// ---- controls ------------------------------------------------------------

void TfrmMain::CreateControls()
{
    font_ = CreateUiFont(-11);
    plusFont_ = CreateUiFont(-19);
    SendMessageA(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    HFONT font = font_.get();

    // Group boxes first; their contents are children of the window, placed
    // at the group's position plus their offset within it, so that their
    // notifications reach the window.
    GroupBox1 =
        CreateControl(Handle, idGroupBox1, WC_BUTTONA, "Volume", BS_GROUPBOX, VolumeGroup, font);
    GroupBox2 =
        CreateControl(Handle, idGroupBox2, WC_BUTTONA, "Channel", BS_GROUPBOX, ChannelGroup, font);
    gbHotkey1 =
        CreateControl(Handle, idHotkey1, WC_BUTTONA, "Hotkey", BS_GROUPBOX, HotkeyGroup, font);
    GroupBox3 = CreateControl(Handle, idGroupBox3, WC_BUTTONA, "Adjustment Range", BS_GROUPBOX,
                              StepGroup, font);

    auto label = [&](const Placement& group, int id, const char* text, int left, int top,
                     HFONT labelFont) {
        HWND control = CreateControl(Handle, id, WC_STATICA, text, SS_LEFT,
                                     Inside(group, left, top, 0, 0), labelFont);
        // Sized to its text; smoothed glyphs may reach a pixel past the
        // measured extent, so a little room is kept.
        SIZE size = TextSize(control, labelFont, text);
        SetWindowPos(control, nullptr, 0, 0, size.cx + 2, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return control;
    };
    auto list = [&](const Placement& group, int id, int left, int top, int width) {
        HWND control = CreateControl(Handle, id, WC_COMBOBOXA, "", ListStyle,
                                     Inside(group, left, top, width, ListDropHeight), font);
        SendMessageA(control, CB_SETMINVISIBLE, ListVisibleEntries, 0);
        SwallowTypedCharacters(control);
        return control;
    };

    tbPlayBackVolume = CreateControl(Handle, idPlayBackVolume, TRACKBAR_CLASSA, "",
                                     TBS_HORZ | TBS_NOTICKS | TBS_FIXEDLENGTH,
                                     Inside(VolumeGroup, 15, 28, 186, 19), font);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMAX, TRUE, FullVolume);
    SendMessageA(tbPlayBackVolume, TBM_SETTHUMBLENGTH, 15, 0);
    cboxMute = CreateControl(Handle, idMute, WC_BUTTONA, "Mute", BS_AUTOCHECKBOX | WS_TABSTOP,
                             Inside(VolumeGroup, 214, 29, 51, 17), font);
    comboxSource = list(ChannelGroup, idSource, 15, 26, 130);

    Label1 = label(HotkeyGroup, idLabel1, "Volume up", 24, 32, font);
    Label4 = label(HotkeyGroup, idLabel4, "Volume down", 10, 64, font);
    Label5 = label(HotkeyGroup, idLabel5, "Mute", 50, 96, font);
    comboxVolumeUp = list(HotkeyGroup, idVolumeUp, 80, 28, 81);
    comboxVolumeDown = list(HotkeyGroup, idVolumeDown, 80, 60, 81);
    comboxMute = list(HotkeyGroup, idMuteKeyModifier, 80, 92, 81);
    lbVolumeUp = label(HotkeyGroup, idPlusUp, "+", 166, 26, plusFont_.get());
    lbVolumeDown = label(HotkeyGroup, idPlusDown, "+", 166, 59, plusFont_.get());
    lbMute = label(HotkeyGroup, idPlusMute, "+", 166, 91, plusFont_.get());
    comboxVolumeUp1 = list(HotkeyGroup, idVolumeUp1, 184, 28, 81);
    comboxVolumeDown1 = list(HotkeyGroup, idVolumeDown1, 184, 60, 81);
    comboxMute1 = list(HotkeyGroup, idMute1, 184, 92, 81);

    Label2 = label(StepGroup, idLabel2, "Volume up", 24, 32, font);
    Label3 = label(StepGroup, idLabel3, "Volume down", 10, 64, font);
    cboxStepUp = list(StepGroup, idStepUp, 80, 28, 65);
    cboxStepDown = list(StepGroup, idStepDown, 80, 60, 65);

    btnHelp =
        CreateControl(Handle, idHelp, WC_BUTTONA, "Help", ButtonStyle, {21, 264, 75, 25}, font);
    btnAbout =
        CreateControl(Handle, idAbout, WC_BUTTONA, "About", ButtonStyle, {112, 264, 75, 25}, font);
    btnHide = CreateControl(Handle, idHide, WC_BUTTONA, "Background", ButtonStyle,
                            {309, 264, 75, 25}, font);
    btnExit =
        CreateControl(Handle, idExit, WC_BUTTONA, "Exit", ButtonStyle, {398, 264, 75, 25}, font);

    FillChoiceLists();
    LoadTrayImages();
}

void TfrmMain::FillChoiceLists()
{
    for (HWND modifiers : {comboxVolumeUp, comboxVolumeDown, comboxMute})
        for (const ModifierRow& row : ModifierCodes)
            AddItem(modifiers, row.Text);
    for (HWND keys : {comboxVolumeUp1, comboxVolumeDown1, comboxMute1})
        for (const KeyRow& row : KeyCodes)
            AddItem(keys, row.Text);
    for (HWND steps : {cboxStepUp, cboxStepDown}) {
        for (const char* text : StepTexts)
            AddItem(steps, text);
        SetItemIndex(steps, SettingsChoices{}.StepUp);  // "10%" until the file says otherwise
    }
}

void TfrmMain::LoadTrayImages()
{
    ImageList1.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    for (int id : {IDI_TRAY_NORMAL, IDI_TRAY_MUTED}) {
        Icon icon(
            static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)));
        ImageList_AddIcon(ImageList1.get(), icon.get());
    }
}
