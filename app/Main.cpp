#include "Main.h"

#include "app/Dpi.h"
#include "app/GlobeVar.h"
#include "app/Notifyicon.h"
#include "app/WindowMessages.h"
#include "app/formAbout.h"
#include "app/resource.h"
#include "common/TextError.h"
#include "hotkeys/HotkeyActions.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyDetect.h"
#include "settings/PrivateProfileStore.h"
#include "settings/Settings.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

constexpr int ClientWidth = 494;
constexpr int ClientHeight = 346;
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
    idShowLevel,
    idTrayWheel,
    idLabelMic,
    idMicModifier,
    idPlusMic,
    idMicKey,
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
constexpr Placement HotkeyGroup{21, 106, 276, 165};
constexpr Placement StepGroup{314, 106, 159, 165};

constexpr Placement Inside(const Placement& group, int left, int top, int width, int height)
{
    return {group.Left + left, group.Top + top, width, height};
}

constexpr int FontPoints = 8;
constexpr int PlusPoints = 14;  // the "+" between a hotkey's two lists
constexpr int ThumbLength = 15;

// The window's design at 96 DPI: where each control sits in the client area,
// and its font's size. Every other DPI scales these. A label has no size
// here: it is as large as its text.
struct ControlLayout {
    int Id;
    Placement At;
    int Points = FontPoints;
};

constexpr ControlLayout Layout[] = {
    {idGroupBox1, VolumeGroup},
    {idPlayBackVolume, Inside(VolumeGroup, 15, 28, 186, 19)},
    {idMute, Inside(VolumeGroup, 214, 29, 51, 17)},
    {idGroupBox2, ChannelGroup},
    {idSource, Inside(ChannelGroup, 15, 26, 130, ListDropHeight)},
    {idHotkey1, HotkeyGroup},
    {idLabel1, Inside(HotkeyGroup, 24, 32, 0, 0)},
    {idLabel4, Inside(HotkeyGroup, 10, 64, 0, 0)},
    {idLabel5, Inside(HotkeyGroup, 50, 96, 0, 0)},
    {idVolumeUp, Inside(HotkeyGroup, 80, 28, 81, ListDropHeight)},
    {idVolumeDown, Inside(HotkeyGroup, 80, 60, 81, ListDropHeight)},
    {idMuteKeyModifier, Inside(HotkeyGroup, 80, 92, 81, ListDropHeight)},
    {idPlusUp, Inside(HotkeyGroup, 166, 26, 0, 0), PlusPoints},
    {idPlusDown, Inside(HotkeyGroup, 166, 59, 0, 0), PlusPoints},
    {idPlusMute, Inside(HotkeyGroup, 166, 91, 0, 0), PlusPoints},
    {idVolumeUp1, Inside(HotkeyGroup, 184, 28, 81, ListDropHeight)},
    {idVolumeDown1, Inside(HotkeyGroup, 184, 60, 81, ListDropHeight)},
    {idMute1, Inside(HotkeyGroup, 184, 92, 81, ListDropHeight)},
    {idLabelMic, Inside(HotkeyGroup, 18, 128, 0, 0)},
    {idMicModifier, Inside(HotkeyGroup, 80, 124, 81, ListDropHeight)},
    {idPlusMic, Inside(HotkeyGroup, 166, 123, 0, 0), PlusPoints},
    {idMicKey, Inside(HotkeyGroup, 184, 124, 81, ListDropHeight)},
    {idGroupBox3, StepGroup},
    {idLabel2, Inside(StepGroup, 24, 32, 0, 0)},
    {idLabel3, Inside(StepGroup, 10, 64, 0, 0)},
    {idStepUp, Inside(StepGroup, 80, 28, 65, ListDropHeight)},
    {idStepDown, Inside(StepGroup, 80, 60, 65, ListDropHeight)},
    {idShowLevel, {21, 275, 140, 17}},  // in the strip between the groups and the buttons
    {idTrayWheel, {176, 275, 297, 17}},
    {idHelp, {21, 296, 75, 25}},
    {idAbout, {112, 296, 75, 25}},
    {idHide, {309, 296, 75, 25}},
    {idExit, {398, 296, 75, 25}},
};

}  // namespace

TfrmMain::TfrmMain(TfrmAbout& about, UINT (*taskbarDpi)())
    : frmAbout(about), taskbarDpi_(taskbarDpi)
{
}

TfrmMain::~TfrmMain()
{
    if (Handle) DestroyWindow(Handle);
}

HWND TfrmMain::Create()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterFormClass(ClassName, FormWindowProc<TfrmMain>,
                      LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARNBELL)));

    CreateWindowExA(WindowExStyle, ClassName, "Tarnbell", WindowStyle, 0, 0, 0, 0, nullptr, nullptr,
                    instance, this);
    if (!Handle) return nullptr;
    CreateControls();
    UINT dpi = DpiForWindow(Handle);
    SizeForDpi(Handle, ClientWidth, ClientHeight, dpi);
    ApplyDpi(dpi);
    CenterOnScreen(Handle);
    FormCreate();
    return Handle;
}

void TfrmMain::ShowFirstTime(int showCommand)
{
    ShowWindow(Handle, showCommand);
    UpdateWindow(Handle);
    // A hidden start (a scheduled task, a launcher) sends no WM_SHOWWINDOW.
    FormShow();
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
    case WmGetDpiScaledSize:
        *reinterpret_cast<SIZE*>(lParam) =
            FrameForDpi(Handle, ClientWidth, ClientHeight, static_cast<UINT>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        DpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
        // The task bar may be drawn at another scale now.
        if (LoadTrayImages()) UpdateTrayIcon();
        break;
    case WM_HOTKEYACTION: HotkeyActionMessage(wParam, lParam); return 0;
    case WM_MIXERCHANGE: MixerChanged(wParam); return 0;
    case WM_TIMER:
        if (wParam == TrayHoverTimer)
            trayWheel_.CheckPointer();
        else if (wParam == MicrophoneTimer)
            ReadMicrophones();
        else if (wParam == TrayRetryTimer)
            AddTrayIconNow();
        else
            break;
        return 0;
    case WM_INPUT:
        TrayWheelTurned(trayWheel_.Notches(lParam));
        break;  // the default handling frees what the input left
    case WM_TRAYNOTIFY: {
        LRESULT result = DefWindowProcA(Handle, message, wParam, lParam);
        TrayNotifyMessage(lParam);
        return result;
    }
    default:
        if (message == taskbarCreated_ && taskbarCreated_ != 0) {
            // The notification area was made anew (the shell restarted):
            // without our icon there would be no way back to the window.
            // It may be drawn at another scale than the old one.
            LoadTrayImages();
            TrayIcon.Forget();
            AddTrayIconNow();
            MicIcon.Forget();
            ReadMicrophones();
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
    case idMicModifier:
    case idMicKey:
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
    case idShowLevel:
        if (code == BN_CLICKED) cboxShowLevelClick();
        break;
    case idTrayWheel:
        if (code == BN_CLICKED) cboxTrayWheelClick();
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

// ---- creation and destruction -------------------------------------------

void TfrmMain::FormCreate()
{
    FirstShowPending = true;
    Ready = false;
    AppDir = ExecutableDirectory();
    CreateMixer();
    Volume = std::make_unique<VolumeController>(*this, Mixer.get());
    Detector = std::make_unique<THotkeyDetector>(Handle, Hotkeys);
    Guarded([this] { LoadSettingsOrDefaults(); });
    ExitRequested = false;
    BuildHotkeyBindings();
    Guarded([this] {
        Volume->SelectDevice();
        Volume->RefreshLineList();
    });
    ConnectMixerEvents();
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    AllowMessageFromLowerPrivilege(Handle, taskbarCreated_);
    Guarded([this] { AddTrayIconNow(); });
    // Muted before this start, the microphones show so at once.
    Guarded([this] { HasMicrophones = Mixer && Mixer->hasMicMute(); });
    if (MicMuteHotkey.Key.load(std::memory_order_relaxed) != 0) ReadMicrophones();
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
    Detector.reset();
    trayWheel_.Stop();
    MixerEvents.reset();
    Volume.reset();
    Mixer.reset();
    TrayIcon.Delete();
    KillTimer(Handle, MicrophoneTimer);
    MicIcon.Delete();
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
    ReadMicrophones();
    // Centring may carry the window onto a monitor of another scale, where
    // it takes another size: it is centred again at that size.
    CenterOnScreen(Handle);
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

void TfrmMain::btnHelpClick() { OpenWithShell(Handle, ShortPath(AppDir + "tarnbell.chm")); }

void TfrmMain::btnAboutClick() { frmAbout.ShowModal(Handle); }

// ---- hotkeys and settings ------------------------------------------------

void TfrmMain::comboxVolumeUpChange()
{
    BuildHotkeyBindings();
    SaveSettings();
}

void TfrmMain::cboxStepUpChange() { SaveSettings(); }

void TfrmMain::cboxStepDownChange() { SaveSettings(); }

void TfrmMain::cboxShowLevelClick() { SaveSettings(); }

void TfrmMain::cboxTrayWheelClick()
{
    if (!Checked(cboxTrayWheel)) trayWheel_.Stop();
    SaveSettings();
}

void TfrmMain::BuildHotkeyBindings()
{
    ::BuildHotkeyBindings({{{ItemIndex(comboxVolumeUp), ItemIndex(comboxVolumeUp1)},
                            {ItemIndex(comboxVolumeDown), ItemIndex(comboxVolumeDown1)},
                            {ItemIndex(comboxMute), ItemIndex(comboxMute1)},
                            {ItemIndex(comboxMicMute), ItemIndex(comboxMicMute1)}}},
                          Hotkeys);
}

void TfrmMain::LoadSettingsOrDefaults()
{
    std::string fileName = SettingsFileName(AppDir);
    TakeOverInterruptedSave(fileName);
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
    c.PreMicMute = ItemIndex(comboxMicMute);
    c.MicMute = ItemIndex(comboxMicMute1);
    c.StepUp = ItemIndex(cboxStepUp);
    c.StepDown = ItemIndex(cboxStepDown);
    c.ShowLevel = Checked(cboxShowLevel) ? 1 : 0;
    c.TrayWheel = Checked(cboxTrayWheel) ? 1 : 0;
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
    SetItemIndex(comboxMicMute, c.PreMicMute);
    SetItemIndex(comboxMicMute1, c.MicMute);
    SetItemIndex(cboxStepUp, c.StepUp);
    SetItemIndex(cboxStepDown, c.StepDown);
    SetChecked(cboxShowLevel, c.ShowLevel != 0);
    SetChecked(cboxTrayWheel, c.TrayWheel != 0);
}

// ---- volume controls -----------------------------------------------------

void TfrmMain::comboxSourceChange() { Volume->comboxSourceChange(); }

void TfrmMain::tbPlaybackVolumeChange() { Volume->SliderScrolled(); }

void TfrmMain::cboxMuteClick() { Volume->cboxMuteClick(); }

// A press is answered on screen also when it changes nothing: with why.
void TfrmMain::HotkeyActionMessage(WPARAM wParam, LPARAM lParam)
{
    if (!Ready) return;
    const HotkeyAction action = ActionOf(wParam, lParam);
    if (action == HotkeyAction::MicMute) return MicrophoneHotkey();
    StepAndShow([&] { Volume->HotkeyAction(action); });
}

// Runs a step of the volume or of its mute and shows what came of it: the
// level, or why the step changed nothing.
template <typename Step>
void TfrmMain::StepAndShow(Step step)
{
    std::string failure = Mixer ? "" : LevelFailureText("");  // no component: no output
    try {
        step();
    } catch (const TextError& error) {
        failure = LevelFailureText(error.what());
    }
    if (!Checked(cboxShowLevel)) return;
    if (failure.empty())
        levelDisplay_.Show(ListText(comboxSource), SliderPosition(), MuteChecked());
    else
        levelDisplay_.ShowFailure(ListText(comboxSource), failure);
}

// One press toggles from the state the microphones are really in, which
// another program may have changed; the display says what came of it.
void TfrmMain::MicrophoneHotkey()
{
    if (!HasMicrophones) return;
    std::string shown;
    try {
        Mixer->setMicMute(!Mixer->micMute());
        shown = ReadMicrophones() ? "Microphone muted" : "Microphone on";
    } catch (const std::exception& e) {
        shown = e.what();  // the component's own words: "There is no microphone now."
    }
    if (Checked(cboxShowLevel)) levelDisplay_.ShowText(shown, shown != "Microphone on");
}

// Whether every microphone is muted now, with the microphone icon shown
// while they are; false when the component cannot tell.
// A read that fails while microphones are there decides nothing: the icon
// and its timer stay, and the next read decides.
bool TfrmMain::ReadMicrophones()
{
    bool muted = false, known = !HasMicrophones;
    if (HasMicrophones)
        Guarded([&] {
            known = Mixer->micCount() == 0;
            if (!known) muted = Mixer->micMute();
            known = true;
        });
    if (known) ShowMicrophoneIcon(muted);
    return muted;
}

// Where the component tells every change, the icon follows its events; else
// while the icon shows, its timer reads the state again. At rest nothing runs.
void TfrmMain::ShowMicrophoneIcon(bool muted)
{
    if (!muted) {
        KillTimer(Handle, MicrophoneTimer);
        MicIcon.Delete();
        return;
    }
    Icon icon = MicrophoneImage();
    MicIcon.Add(Handle, "Microphone muted", icon.get());
    if (!EventsComplete) SetTimer(Handle, MicrophoneTimer, MicrophoneInterval, nullptr);
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

bool TfrmMain::MuteChecked() const { return Checked(cboxMute); }

void TfrmMain::SetMuteChecked(bool checked) { SetChecked(cboxMute, checked); }

std::string TfrmMain::StepUpText() const { return ListText(cboxStepUp); }

std::string TfrmMain::StepDownText() const { return ListText(cboxStepDown); }

// ---- tray icon -----------------------------------------------------------

Icon TfrmMain::MicrophoneImage() const
{
    return Icon(ImageList1 ? ImageList_GetIcon(ImageList1.get(), 2, ILD_NORMAL) : nullptr);
}

Icon TfrmMain::TrayImage() const
{
    return Icon(ImageList1 ? ImageList_GetIcon(ImageList1.get(), MuteChecked() ? 1 : 0, ILD_NORMAL)
                           : nullptr);
}

void TfrmMain::UpdateTrayIcon()
{
    Icon icon = TrayImage();
    TrayIcon.Modify(TrayTipText(SliderPosition(), ListText(comboxSource)), icon.get());
}

void TfrmMain::AddTrayIconNow()
{
    Icon icon = TrayImage();
    TrayIcon.Add(Handle, TrayTipText(SliderPosition(), ListText(comboxSource)), icon.get());
}

void TfrmMain::TrayNotifyMessage(LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        UpdateTrayIcon();
        if (Checked(cboxTrayWheel)) trayWheel_.PointerMovedOverIcon(Handle, TrayIconId);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: ShowFromTray(); break;
    }
}

// Each notch steps the volume as a hotkey does, and the tooltip under the
// pointer shows the new level at once: the shell calls back no mouse move
// while the pointer rests and the wheel turns.
void TfrmMain::TrayWheelTurned(int notches)
{
    if (!Ready || notches == 0) return;
    StepAndShow([&] { Volume->WheelNotches(notches); });
    UpdateTrayIcon();
}

// ---- controls ------------------------------------------------------------

void TfrmMain::CreateControls()
{
    // Group boxes first; their contents are children of the window, placed
    // (ApplyDpi) at the group's position plus their offset within it, so
    // that their notifications reach the window.
    auto control = [&](int id, const char* className, const char* text, DWORD style) {
        return CreateControl(Handle, id, className, text, style, {}, nullptr);
    };
    control(idGroupBox1, WC_BUTTONA, "Volume", BS_GROUPBOX);
    control(idGroupBox2, WC_BUTTONA, "Channel", BS_GROUPBOX);
    control(idHotkey1, WC_BUTTONA, "Hotkey", BS_GROUPBOX);
    control(idGroupBox3, WC_BUTTONA, "Adjustment Range", BS_GROUPBOX);

    auto label = [&](int id, const char* text) { return control(id, WC_STATICA, text, SS_LEFT); };
    auto list = [&](int id) {
        HWND created = control(id, WC_COMBOBOXA, "", ListStyle);
        SendMessageA(created, CB_SETMINVISIBLE, ListVisibleEntries, 0);
        SwallowTypedCharacters(created);
        return created;
    };

    tbPlayBackVolume =
        control(idPlayBackVolume, TRACKBAR_CLASSA, "", TBS_HORZ | TBS_NOTICKS | TBS_FIXEDLENGTH);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMAX, TRUE, FullVolume);
    cboxMute = control(idMute, WC_BUTTONA, "Mute", BS_AUTOCHECKBOX | WS_TABSTOP);
    comboxSource = list(idSource);

    label(idLabel1, "Volume up");
    label(idLabel4, "Volume down");
    label(idLabel5, "Mute");
    comboxVolumeUp = list(idVolumeUp);
    comboxVolumeDown = list(idVolumeDown);
    comboxMute = list(idMuteKeyModifier);
    label(idPlusUp, "+");
    label(idPlusDown, "+");
    label(idPlusMute, "+");
    comboxVolumeUp1 = list(idVolumeUp1);
    comboxVolumeDown1 = list(idVolumeDown1);
    comboxMute1 = list(idMute1);
    label(idLabelMic, "Microphone");
    comboxMicMute = list(idMicModifier);
    label(idPlusMic, "+");
    comboxMicMute1 = list(idMicKey);

    label(idLabel2, "Volume up");
    label(idLabel3, "Volume down");
    cboxStepUp = list(idStepUp);
    cboxStepDown = list(idStepDown);

    cboxShowLevel =
        control(idShowLevel, WC_BUTTONA, "Show level on screen", BS_AUTOCHECKBOX | WS_TABSTOP);
    SetChecked(cboxShowLevel, SettingsChoices{}.ShowLevel != 0);  // until the file says otherwise
    cboxTrayWheel = control(idTrayWheel, WC_BUTTONA, "Scroll over the tray icon changes the volume",
                            BS_AUTOCHECKBOX | WS_TABSTOP);
    SetChecked(cboxTrayWheel, SettingsChoices{}.TrayWheel != 0);

    control(idHelp, WC_BUTTONA, "Help", ButtonStyle);
    control(idAbout, WC_BUTTONA, "About", ButtonStyle);
    control(idHide, WC_BUTTONA, "Background", ButtonStyle);
    control(idExit, WC_BUTTONA, "Exit", ButtonStyle);

    FillChoiceLists();
    LoadTrayImages();
}

// Lays the controls out for `dpi`: the design's places scaled, the fonts at
// the same points, each label as large as its text.
void TfrmMain::ApplyDpi(UINT dpi)
{
    Font font = CreateUiFont(FontPoints, dpi);
    Font plusFont = CreateUiFont(PlusPoints, dpi);
    SendMessageA(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    for (const ControlLayout& row : Layout) {
        HWND control = GetDlgItem(Handle, row.Id);
        HFONT rowFont = (row.Points == PlusPoints ? plusFont : font).get();
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(rowFont), FALSE);
        Placement at = Scaled(row.At, dpi);
        if (row.At.Width == 0) {
            // Smoothed glyphs may reach a pixel past the measured extent,
            // so a little room is kept.
            SIZE size = TextSize(control, rowFont, WindowText(control));
            at.Width = size.cx + 2;
            at.Height = size.cy;
        }
        Place(control, at);
    }
    SendMessageA(tbPlayBackVolume, TBM_SETTHUMBLENGTH, ScaleForDpi(ThumbLength, dpi), 0);
    // The old fonts go only now that no control uses them.
    font_ = std::move(font);
    plusFont_ = std::move(plusFont);
    InvalidateRect(Handle, nullptr, TRUE);
}

// The window moved to a monitor of another scale: it takes the place Windows
// suggests and lays its controls out anew. The tray images follow the task
// bar, which may have changed scale with it.
void TfrmMain::DpiChanged(UINT dpi, const RECT& suggested)
{
    Place(Handle, suggested);
    ApplyDpi(dpi);
    LoadTrayImages();
    UpdateTrayIcon();
    Icon microphones = MicrophoneImage();
    MicIcon.Modify("Microphone muted", microphones.get());
}

void TfrmMain::FillChoiceLists()
{
    for (HWND modifiers : {comboxVolumeUp, comboxVolumeDown, comboxMute, comboxMicMute})
        for (const ModifierRow& row : ModifierCodes)
            AddItem(modifiers, row.Text);
    AddItem(comboxMicMute1, NoKeyText);
    for (HWND keys : {comboxVolumeUp1, comboxVolumeDown1, comboxMute1, comboxMicMute1})
        for (const KeyRow& row : KeyCodes)
            AddItem(keys, row.Text);
    for (HWND steps : {cboxStepUp, cboxStepDown}) {
        for (const char* text : StepTexts)
            AddItem(steps, text);
        SetItemIndex(steps, SettingsChoices{}.StepUp);  // "10%" until the file says otherwise
    }
}

// The tray images at the size the notification area shows now, which
// follows the task bar's scale, not the window's: the main icon's two, then
// the microphones'; true if made anew.
bool TfrmMain::LoadTrayImages()
{
    int size = SmallIconSizeForDpi(taskbarDpi_());
    if (ImageList1 && TrayImageSize() == size) return false;
    ImageList1.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 3, 0));
    for (int id : {IDI_TRAY_NORMAL, IDI_TRAY_MUTED, IDI_TRAY_MIC_MUTED})
        ImageList_AddIcon(ImageList1.get(), LoadSmallIcon(id, size).get());
    return true;
}

int TfrmMain::TrayImageSize() const
{
    int width = 0, height = 0;
    ImageList_GetIconSize(ImageList1.get(), &width, &height);
    return width;
}
