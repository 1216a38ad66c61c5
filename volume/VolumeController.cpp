#include "VolumeController.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/TextError.h"

namespace {

// The component's line index property is 16 bits wide.
int16_t Low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

}  // namespace

int VolumePercent(int position) { return static_cast<int>(int64_t{position} * 100 / FullVolume); }

int64_t StepUnits(int64_t percent) { return percent * FullVolume / 100; }

int StepPercent(const std::string& text)
{
    // An optional sign and decimal digits, nothing else: strtol alone would
    // also skip leading blanks of every kind.
    const std::string number = text.empty() ? text : text.substr(0, text.size() - 1);
    const std::size_t digits = !number.empty() && (number[0] == '+' || number[0] == '-') ? 1 : 0;
    const bool wellFormed = digits < number.size() &&
                            number.find_first_not_of("0123456789", digits) == std::string::npos;
    errno = 0;
    const long long value = wellFormed ? std::strtoll(number.c_str(), nullptr, 10) : 0;
    if (!wellFormed || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        throw TextError("'" + text + "' is not a step");
    return static_cast<int>(value);
}

VolumeController::VolumeController(VolumeControls& controls, MixerProperties* mixer)
    : controls_(controls), mixer_(mixer), handledPosition_(controls.SliderPosition())
{
}

void VolumeController::SelectDevice()
{
    if (!mixer_) return;
    int d = mixer_->devOutput();
    int n = mixer_->devOutputMax();
    // Move d past every unusable device from the current one on.
    for (int j = 0; j <= n; ++j) {
        mixer_->setDevOutput(static_cast<int16_t>(j));
        if (!mixer_->devOutputValid() && j == d) ++d;
    }
    if (mixer_->devOutputMax() < d) d = 0;
    mixer_->setDevOutput(static_cast<int16_t>(d));
    mixer_->setTimerEnabled(true);
    mixer_->setTimerInterval(80);
    mixer_->srcVolume();
}

void VolumeController::RefreshLineList()
{
    if (!mixer_) return;
    int count = mixer_->srcOutputCount();
    if (count < 1) return;
    controls_.ClearChannels();
    lineIndexes_.clear();
    for (int i = 0; i < count; ++i) {
        mixer_->setSrcOutput(static_cast<int16_t>(i));
        if (mixer_->srcOutputValid()) {
            controls_.AddChannel(mixer_->srcOutputName());
            lineIndexes_.push_back(i);
        }
    }
    // A device whose lines are all unlisted leaves the list empty and
    // selects nothing.
    if (lineIndexes_.empty()) return;
    controls_.SelectChannel(0);
    ShowLine(0);
}

void VolumeController::comboxSourceChange()
{
    int index = controls_.SelectedChannel();
    // An edit of the list's text leaves no entry selected: nothing to show.
    if (index < 0 || index >= static_cast<int>(lineIndexes_.size())) return;
    ShowLine(index);
}

void VolumeController::ShowLine(int listIndex)
{
    if (!mixer_) return;
    mixer_->setSrcOutput(Low16(lineIndexes_[listIndex]));
    MoveSlider(mixer_->srcVolume());
    SetMute(mixer_->srcMute());
}

void VolumeController::SliderScrolled()
{
    if (controls_.SliderPosition() != handledPosition_) tbPlaybackVolumeChange();
}

void VolumeController::tbPlaybackVolumeChange()
{
    handledPosition_ = controls_.SliderPosition();
    if (mixer_) mixer_->setSrcVolume(handledPosition_);
}

void VolumeController::cboxMuteClick()
{
    if (mixer_) mixer_->setSrcMute(controls_.MuteChecked());
    controls_.UpdateTrayIcon();
}

void VolumeController::HotkeyAction(::HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::MuteToggle: SetMute(!controls_.MuteChecked()); break;
    case HotkeyAction::VolumeDown:
        MoveSlider(int64_t{controls_.SliderPosition()} - StepUnits(StepDownPercent()));
        break;
    case HotkeyAction::VolumeUp:
        MoveSlider(int64_t{controls_.SliderPosition()} + StepUnits(StepUpPercent()));
        break;
    }
}

int VolumeController::StepUpPercent() const { return StepPercent(controls_.StepUpText()); }

int VolumeController::StepDownPercent() const { return StepPercent(controls_.StepDownText()); }

// A program-made slider move: clamped like the slider itself, and the change
// handler runs only if the position really changed.
void VolumeController::MoveSlider(int64_t position)
{
    int clamped = static_cast<int>(std::clamp<int64_t>(position, 0, FullVolume));
    if (clamped == controls_.SliderPosition()) return;
    controls_.SetSliderPosition(clamped);
    tbPlaybackVolumeChange();
}

// A program-made change of the check box runs its click handler.
void VolumeController::SetMute(bool checked)
{
    if (checked == controls_.MuteChecked()) return;
    controls_.SetMuteChecked(checked);
    cboxMuteClick();
}

std::string TrayTipText(int position, const std::string& channel)
{
    return std::to_string(VolumePercent(position)) + "%\r" + channel;
}
