#pragma once
// TfrmMain: the main window. It owns the mixer component, the volume and
// Channel controls, the settings' controls (TSettingsControls), the tray
// icon and its images, the microphone indicator and the hotkey detector,
// and routes their messages to them.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/Dpi.h"
#include "app/LevelDisplay.h"
#include "app/MicrophoneIndicator.h"
#include "app/Notifyicon.h"
#include "app/SettingsControls.h"
#include "app/TrayImages.h"
#include "app/TrayWheelInput.h"
#include "app/WinUi.h"
#include "settings/Settings.h"
#include "volume/VolumeController.h"

class TAudioMixer;
class TMixerEvents;
class THotkeyDetector;
class TfrmAbout;

class TfrmMain final : public VolumeControls {
public:
    static constexpr const char* ClassName = "TfrmMain";

    // `taskbarDpi` tells the scale the notification area is drawn at.
    explicit TfrmMain(TfrmAbout& about, UINT (*taskbarDpi)() = TaskbarDpi);
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    // Creates the window hidden and runs its creation step.
    HWND Create();
    // The message loop's first show, with the show command the program was
    // started with: after it the window is ready for hotkey actions and sends
    // itself back to the notification area, also when that command hid it.
    void ShowFirstTime(int showCommand);
    // The side, in pixels, of the tray images the window hands the shell.
    int TrayImageSize() const { return trayImages_.Size(); }

    // VolumeControls
    void ClearChannels() override;
    void AddChannel(const std::string& name) override;
    void SelectChannel(int index) override;
    int SelectedChannel() const override;
    int SliderPosition() const override;
    void SetSliderPosition(int position) override;
    bool MuteChecked() const override;
    void SetMuteChecked(bool checked) override;
    std::string StepUpText() const override;
    std::string StepDownText() const override;
    void UpdateTrayIcon() override;

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code, HWND control);

    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void btnHideClick();
    void btnExitClick();
    void btnHelpClick();
    void btnAboutClick();
    void comboxVolumeUpChange();
    void cboxStepUpChange();
    void cboxStepDownChange();
    void comboxSourceChange();
    void tbPlaybackVolumeChange();
    void cboxMuteClick();
    void cboxShowLevelClick();
    void cboxTrayWheelClick();
    void HotkeyActionMessage(WPARAM wParam, LPARAM lParam);
    void TrayNotifyMessage(UINT iconId, LPARAM mouseMessage);
    void TrayWheelTurned(int notches);
    template <typename Step>
    void StepAndShow(Step step);
    TLevelDisplay* ShownLevel();
    void NextOutputPressed();
    void ConnectMixerEvents();
    void MixerChanged(WPARAM event);

    void CreateControls();
    void ApplyDpi(UINT dpi);
    void DpiChanged(UINT dpi, const RECT& suggested);
    void TrayImagesChanged();
    void CreateMixer();
    void BuildHotkeyBindings();
    void LoadSettingsOrDefaults();
    void SaveSettings();
    void AddTrayIconNow();
    Icon TrayImage() const;
    void HideToTray();
    void ShowFromTray();
    bool FromWithinProgram(HWND previous) const;
    template <typename Handler>
    void Guarded(Handler handler);

    TfrmAbout& frmAbout;
    HWND Handle = nullptr;
    UINT dpi_ = 96;  // the scale the controls are laid out for
    Font font_;
    Font plusFont_;
    UINT taskbarCreated_ = 0;

    // The controls the window reads or changes after creating them; the
    // group boxes, labels and buttons are reached by their ids.
    HWND tbPlayBackVolume = nullptr, cboxMute = nullptr, comboxSource = nullptr;
    TSettingsControls settings_;
    TLevelDisplay levelDisplay_;

    std::unique_ptr<TAudioMixer> Mixer;
    std::unique_ptr<TMixerEvents> MixerEvents;  // while the window lives
    bool EventsComplete = false;                // the microphones' changes come too
    std::unique_ptr<THotkeyDetector> Detector;
    std::unique_ptr<VolumeController> Volume;
    TTrayImages trayImages_;
    TTrayIcon TrayIcon;
    TTrayWheelInput trayWheel_;
    TMicrophoneIndicator microphones_{trayImages_};

    bool ExitRequested = false;
    bool Ready = false;
    bool FirstShowPending = true;
};

// Runs one step of a sequence whose later steps must run even when this one
// fails; the failure is dropped, as everywhere in the window.
template <typename Handler>
void TfrmMain::Guarded(Handler handler)
{
    try {
        handler();
    } catch (...) {
    }
}
