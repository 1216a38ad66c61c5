#include "Main.h"

#include "app/AppHotkey.h"
#include "app/Dpi.h"
#include "app/GlobeVar.h"
#include "app/MainLayout.h"
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

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD WindowExStyle = WS_EX_TOPMOST;
constexpr DWORD ButtonStyle = BS_PUSHBUTTON | WS_TABSTOP;

}  // namespace

TfrmMain::TfrmMain(TfrmAbout& about, UINT (*taskbarDpi)())
    : frmAbout(about), trayImages_(taskbarDpi)
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
        if (trayImages_.Load()) TrayImagesChanged();
        break;
    case WM_CTLCOLORSTATIC: {
        // The marks of rows that share keys stand out in red.
        LRESULT brush = DefWindowProcA(Handle, message, wParam, lParam);
        if (RowOfMark(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) >= 0)
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0xC0, 0, 0));
        return brush;
    }
    case WM_HOTKEYACTION: HotkeyActionMessage(wParam, lParam); return 0;
    case WM_MIXERCHANGE: MixerChanged(wParam); return 0;
    case WM_TIMER:
        if (wParam == TrayHoverTimer)
            trayWheel_.CheckPointer();
        else if (wParam == MicrophoneTimer)
            microphones_.Read();
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
        TrayNotifyMessage(static_cast<UINT>(wParam), lParam);
        return result;
    }
    default:
        if (message == taskbarCreated_ && taskbarCreated_ != 0) {
            // The notification area was made anew (the shell restarted):
            // without our icon there would be no way back to the window.
            // It may be drawn at another scale than the old one.
            trayImages_.Load();
            TrayIcon.Forget();
            AddTrayIconNow();
            microphones_.ShellRestarted();
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
    if (RowOfList(id) >= 0) {
        if (listChanged()) comboxVolumeUpChange();
        return;
    }
    switch (id) {
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
    microphones_.Attach(Handle, Mixer.get(), EventsComplete);
    if (MicMuteHotkey.Key.load(std::memory_order_relaxed) != 0) microphones_.Read();
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
    microphones_.Stop();
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
    microphones_.Read();
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
    settings_.MarkSharedKeys(dpi_);
    SaveSettings();
}

void TfrmMain::cboxStepUpChange() { SaveSettings(); }

void TfrmMain::cboxStepDownChange() { SaveSettings(); }

void TfrmMain::cboxShowLevelClick() { SaveSettings(); }

void TfrmMain::cboxTrayWheelClick()
{
    if (!settings_.TrayWheel()) trayWheel_.Stop();
    SaveSettings();
}

void TfrmMain::BuildHotkeyBindings() { ::BuildHotkeyBindings(settings_.Hotkeys(), Hotkeys); }

void TfrmMain::LoadSettingsOrDefaults()
{
    settings_.LoadOrDefaults(SettingsFileName(AppDir), dpi_);
}

void TfrmMain::SaveSettings() { settings_.Save(SettingsFileName(AppDir)); }

// ---- volume controls -----------------------------------------------------

void TfrmMain::comboxSourceChange() { Volume->comboxSourceChange(); }

void TfrmMain::tbPlaybackVolumeChange() { Volume->SliderScrolled(); }

void TfrmMain::cboxMuteClick() { Volume->cboxMuteClick(); }

// A press is answered on screen also when it changes nothing: with why.
// Each action of HotkeyActionRows has its case here.
void TfrmMain::HotkeyActionMessage(WPARAM wParam, LPARAM lParam)
{
    if (!Ready) return;
    const HotkeyAction action = ActionOf(wParam, lParam);
    switch (action) {
    case HotkeyAction::VolumeUp:
    case HotkeyAction::VolumeDown:
    case HotkeyAction::MuteToggle: StepAndShow([&] { Volume->HotkeyAction(action); }); break;
    case HotkeyAction::MicMute: microphones_.HotkeyPressed(ShownLevel()); break;
    case HotkeyAction::NextOutput: NextOutputPressed(); break;
    case HotkeyAction::AppUp: AppHotkey(Mixer.get(), *Volume, AppChange::Up, ShownLevel()); break;
    case HotkeyAction::AppDown:
        AppHotkey(Mixer.get(), *Volume, AppChange::Down, ShownLevel());
        break;
    case HotkeyAction::AppMute:
        AppHotkey(Mixer.get(), *Volume, AppChange::Mute, ShownLevel());
        break;
    }
}

// The level display, or null where "Show level on screen" is unticked.
TLevelDisplay* TfrmMain::ShownLevel() { return settings_.ShowLevel() ? &levelDisplay_ : nullptr; }

// Makes the next listed output Windows' default and shows its name and
// level, or why Windows would not.
void TfrmMain::NextOutputPressed()
{
    TLevelDisplay* display = ShownLevel();
    try {
        const OutputLevel next = Volume->NextOutput();
        if (display) display->Show(next.Name, next.Position, next.Muted);
    } catch (const TextError& error) {
        if (display) display->ShowText(LevelFailureText(error.what()), false);
    }
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
    if (!settings_.ShowLevel()) return;
    if (failure.empty())
        levelDisplay_.Show(ListText(comboxSource), SliderPosition(), MuteChecked());
    else
        levelDisplay_.ShowFailure(ListText(comboxSource), failure);
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

std::string TfrmMain::StepUpText() const { return ListText(settings_.StepUp()); }

std::string TfrmMain::StepDownText() const { return ListText(settings_.StepDown()); }

// ---- tray icon -----------------------------------------------------------

Icon TfrmMain::TrayImage() const { return trayImages_.Main(MuteChecked()); }

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

// Both icons call back; only the main one shows the level and takes the
// wheel. A click on either shows the window.
void TfrmMain::TrayNotifyMessage(UINT iconId, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        if (iconId != TrayIconId) break;
        UpdateTrayIcon();
        if (settings_.TrayWheel()) trayWheel_.PointerMovedOverIcon(Handle, TrayIconId);
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

    tbPlayBackVolume =
        control(idPlayBackVolume, TRACKBAR_CLASSA, "", TBS_HORZ | TBS_NOTICKS | TBS_FIXEDLENGTH);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(tbPlayBackVolume, TBM_SETRANGEMAX, TRUE, FullVolume);
    cboxMute = control(idMute, WC_BUTTONA, "Mute", BS_AUTOCHECKBOX | WS_TABSTOP);
    comboxSource = CreateChoiceList(Handle, idSource);
    settings_.Create(Handle);

    control(idHelp, WC_BUTTONA, "Help", ButtonStyle);
    control(idAbout, WC_BUTTONA, "About", ButtonStyle);
    control(idHide, WC_BUTTONA, "Background", ButtonStyle);
    control(idExit, WC_BUTTONA, "Exit", ButtonStyle);

    trayImages_.Load();
}

void TfrmMain::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    LayoutFonts fonts = LayOutControls(Handle, dpi);
    SendMessageA(tbPlayBackVolume, TBM_SETTHUMBLENGTH, ScaleForDpi(ThumbLength, dpi), 0);
    // The old fonts go only now that no control uses them.
    font_ = std::move(fonts.Text);
    plusFont_ = std::move(fonts.Plus);
    InvalidateRect(Handle, nullptr, TRUE);
}

// The window moved to a monitor of another scale: it takes the place Windows
// suggests and lays its controls out anew. The tray images follow the task
// bar, which may have changed scale with it.
void TfrmMain::DpiChanged(UINT dpi, const RECT& suggested)
{
    Place(Handle, suggested);
    ApplyDpi(dpi);
    trayImages_.Load();
    TrayImagesChanged();
}

// Both icons take the images at their new size.
void TfrmMain::TrayImagesChanged()
{
    UpdateTrayIcon();
    microphones_.ImagesChanged();
}
