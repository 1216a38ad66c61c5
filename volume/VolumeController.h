#pragma once
// The logic behind the main window's Channel list, volume slider and Mute
// check box: picks the mixer device, lists its lines, carries user changes
// to the component and turns hotkey actions into volume steps.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "MixerProperties.h"
#include "hotkeys/HotkeyActions.h"

// The main window's controls as the controller sees them. Setters are raw:
// they change the control and raise no change handler.
class VolumeControls {
public:
    virtual ~VolumeControls() = default;

    virtual void ClearChannels() = 0;
    virtual void AddChannel(const std::string& name) = 0;
    virtual void SelectChannel(int index) = 0;
    virtual int SelectedChannel() const = 0;  // -1 when no entry is selected
    virtual int SliderPosition() const = 0;
    virtual void SetSliderPosition(int position) = 0;
    virtual bool MuteChecked() const = 0;
    virtual void SetMuteChecked(bool checked) = 0;
    virtual std::string StepUpText() const = 0;
    virtual std::string StepDownText() const = 0;
    virtual void UpdateTrayIcon() = 0;
};

// The entries of both step lists, "Volume up" and "Volume down".
inline constexpr std::array<const char*, 9> StepTexts{
    {"1%", "2%", "3%", "4%", "5%", "10%", "20%", "30%", "50%"}};
// The step of one notch of the wheel over the tray icon.
constexpr int WheelStepPercent = 2;

// Percent shown to the user for a slider position (truncated).
int VolumePercent(int position);
// The least slider position that shows `percent` (0..100).
int PercentPosition(int percent);
// Slider units of a step of `percent` %.
int64_t StepUnits(int64_t percent);
// The whole percent of a step list's visible text ("10%" -> 10): the last
// character is dropped and the rest must be an optional sign and decimal
// digits, fitting into an int; throws TextError otherwise.
int StepPercent(const std::string& text);

// An output as the level display shows it after "Next output".
struct OutputLevel {
    std::string Name;
    int Position;
    bool Muted;
};

class VolumeController {
public:
    // `mixer` may be null when the component could not be created: the
    // controls then work on their own and reach no component.
    VolumeController(VolumeControls& controls, MixerProperties* mixer);

    void SelectDevice();
    void RefreshLineList();
    // The window is about to be shown: lists the lines the device has now,
    // keeping the selected entry by its name, and shows that line's level
    // and mute as the component has them.
    void Refresh();

    // Another program, a key or Windows changed the line: its level and mute
    // are shown as the component has them, and nothing is written. While
    // the user drags the slider, the drag wins and the level is left alone.
    void FollowLine(bool dragging);
    // Outputs came or went, or the default moved: the list is read again,
    // keeping the selected entry while it is there ("Default output" else).
    void FollowOutputs();

    // Change handlers of the controls.
    void comboxSourceChange();
    void SliderScrolled();  // the user moved the slider; may be a no-op move
    void tbPlaybackVolumeChange();
    void cboxMuteClick();

    // A hotkey press: a volume step or a mute toggle.
    void HotkeyAction(::HotkeyAction action);
    // Notches of the wheel over the tray icon, up positive: each moves to
    // the next whole WheelStepPercent % from the percent shown (29 % to 31 %),
    // as Windows' own volume keys step.
    void WheelNotches(int notches);
    // "Next output": makes the output after the default one in the Channel
    // list (as it is now) Windows' default, and gives its level. Throws
    // TextError with the reason where that cannot be done.
    OutputLevel NextOutput();

    int StepUpPercent() const;
    int StepDownPercent() const;

    const std::vector<int32_t>& LineIndexes() const { return lineIndexes_; }

private:
    bool ListLines();
    int EntryToKeep(int index, const std::string& name) const;
    void ShowLine(int listIndex);
    void ReadLevel();
    void StepLevel(int64_t units);  // from the level as read now
    void ReadMute();
    void MoveSlider(int64_t position);
    void SetMute(bool checked);

    VolumeControls& controls_;
    MixerProperties* mixer_;
    std::vector<int32_t> lineIndexes_;
    std::vector<std::string> channelNames_;  // the Channel list's entries
    int handledPosition_ = 0;                // slider position the change handler last saw
};

// What the level display says when a press could not change the volume: the
// failure's first clause, or "No output" where it says nothing.
std::string LevelFailureText(const std::string& failure);

// The tray tooltip: the percent, "%", a carriage return, then the Channel.
std::string TrayTipText(int position, const std::string& channel);
