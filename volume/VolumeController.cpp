#include "VolumeController.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "common/NextOutput.h"
#include "common/TextError.h"

namespace {

// The component's line index property is 16 bits wide.
int16_t Low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

// A read of the component, or nothing where it fails (no output now, say).
template <class Read>
auto Attempt(Read read) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (const TextError&) {
        return std::nullopt;
    }
}

}  // namespace

int VolumePercent(int position) { return static_cast<int>(int64_t{position} * 100 / FullVolume); }

int PercentPosition(int percent)
{
    return static_cast<int>((int64_t{percent} * FullVolume + 99) / 100);
}

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
    if (!ListLines()) return;
    controls_.SelectChannel(0);
    ShowLine(0);
}

void VolumeController::Refresh()
{
    if (!mixer_) return;
    const int kept = controls_.SelectedChannel();
    const bool listed = kept >= 0 && kept < static_cast<int>(channelNames_.size());
    const std::string name = listed ? channelNames_[kept] : std::string();
    mixer_->setDevOutput(mixer_->devOutput());  // the component reads its lines afresh
    if (!ListLines()) return;
    const int index = EntryToKeep(listed ? kept : -1, name);
    controls_.SelectChannel(index);
    mixer_->setSrcOutput(Low16(lineIndexes_[index]));
    ReadLevel();
    ReadMute();
}

// Fills the Channel list with the device's listed lines; false when it has
// no entry to select. A device without lines leaves the list as it was; one
// whose lines are all unlisted leaves it empty.
bool VolumeController::ListLines()
{
    if (!mixer_) return false;
    int count = mixer_->srcOutputCount();
    if (count < 1) return false;
    controls_.ClearChannels();
    lineIndexes_.clear();
    channelNames_.clear();
    for (int i = 0; i < count; ++i) {
        mixer_->setSrcOutput(static_cast<int16_t>(i));
        if (mixer_->srcOutputValid()) {
            channelNames_.push_back(mixer_->srcOutputName());
            controls_.AddChannel(channelNames_.back());
            lineIndexes_.push_back(i);
        }
    }
    return !lineIndexes_.empty();
}

// After the list was read again: the same entry if it still has the name,
// else the first entry of that name (two lines may share one), else the first.
int VolumeController::EntryToKeep(int index, const std::string& name) const
{
    const int count = static_cast<int>(channelNames_.size());
    if (index < 0) return 0;
    if (index < count && channelNames_[index] == name) return index;
    const auto found = std::find(channelNames_.begin(), channelNames_.end(), name);
    return found == channelNames_.end() ? 0 : static_cast<int>(found - channelNames_.begin());
}

void VolumeController::FollowLine(bool dragging)
{
    if (!dragging) ReadLevel();
    ReadMute();
    controls_.UpdateTrayIcon();
}

void VolumeController::FollowOutputs()
{
    Refresh();
    controls_.UpdateTrayIcon();
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

// A level the component refuses is not shown: the slider goes back to what
// the component reads, or where that read fails too, to where it was; the
// failure goes on to the caller.
void VolumeController::tbPlaybackVolumeChange()
{
    const int before = handledPosition_;
    handledPosition_ = controls_.SliderPosition();
    if (!mixer_) return;
    try {
        mixer_->setSrcVolume(handledPosition_);
    } catch (const TextError&) {
        controls_.SetSliderPosition(before);
        handledPosition_ = controls_.SliderPosition();
        ReadLevel();
        throw;
    }
}

// The same for the mute box, whose click has turned it over; the tray icon
// follows the box.
void VolumeController::cboxMuteClick()
{
    const bool wanted = controls_.MuteChecked();
    try {
        if (mixer_) mixer_->setSrcMute(wanted);
    } catch (const TextError&) {
        const auto muted = Attempt([this] { return mixer_->srcMute(); });
        controls_.SetMuteChecked(muted.value_or(!wanted));
        controls_.UpdateTrayIcon();
        throw;
    }
    controls_.UpdateTrayIcon();
}

// Each action starts from the line's state as the component has it now:
// another volume control, or Windows moving the default output, may have
// changed it since the controls last showed it.
void VolumeController::HotkeyAction(::HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::VolumeUp: StepLevel(StepUnits(StepUpPercent())); break;
    case HotkeyAction::VolumeDown: StepLevel(-StepUnits(StepDownPercent())); break;
    case HotkeyAction::MuteToggle:
        ReadMute();
        SetMute(!controls_.MuteChecked());
        break;
    default: break;  // the other actions are not the line's
    }
}

void VolumeController::WheelNotches(int notches)
{
    ReadLevel();
    const int64_t percent =
        VolumePercent(controls_.SliderPosition()) + int64_t{notches} * WheelStepPercent;
    MoveSlider(PercentPosition(static_cast<int>(std::clamp<int64_t>(percent, 0, 100))));
}

OutputLevel VolumeController::NextOutput()
{
    if (!mixer_) throw TextError("No output");
    Refresh();
    const int16_t current = mixer_->defaultOutput();
    const auto listed = std::find(lineIndexes_.begin(), lineIndexes_.end(), current);
    const int next = NextOutputEntry(
        channelNames_,
        listed == lineIndexes_.end() ? -1 : static_cast<int>(listed - lineIndexes_.begin()),
        DefaultOutputLine);
    if (next < 0) throw TextError("There is no output to switch to.");
    mixer_->setDefaultOutput(Low16(lineIndexes_[next]));
    mixer_->setSrcOutput(Low16(lineIndexes_[next]));
    const OutputLevel shown{channelNames_[next], mixer_->srcVolume(), mixer_->srcMute()};
    // Back to the selected line, which may follow the default: it shows
    // what it reaches now.
    mixer_->setSrcOutput(Low16(lineIndexes_[std::max(0, controls_.SelectedChannel())]));
    ReadLevel();
    ReadMute();
    return shown;
}

void VolumeController::StepLevel(int64_t units)
{
    ReadLevel();
    MoveSlider(int64_t{controls_.SliderPosition()} + units);
}

// Shows the selected line's level as read, without writing it back; where
// the read fails the slider keeps its position.
void VolumeController::ReadLevel()
{
    if (!mixer_) return;
    if (const auto level = Attempt([this] { return mixer_->srcVolume(); })) {
        controls_.SetSliderPosition(*level);
        handledPosition_ = controls_.SliderPosition();
    }
}

// The same for the mute box; the tray icon follows a changed state.
void VolumeController::ReadMute()
{
    if (!mixer_) return;
    const auto muted = Attempt([this] { return mixer_->srcMute(); });
    if (!muted || *muted == controls_.MuteChecked()) return;
    controls_.SetMuteChecked(*muted);
    controls_.UpdateTrayIcon();
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

std::string LevelFailureText(const std::string& failure)
{
    std::string text =
        failure.substr(0, std::min(failure.find_first_of(":\r\n"), failure.find(". ")));
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "No output" : text;
}
