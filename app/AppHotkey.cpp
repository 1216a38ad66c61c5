#include "app/AppHotkey.h"

#include "app/LevelDisplay.h"
#include "common/TextError.h"
#include "volume/ForegroundApp.h"
#include "volume/VolumeController.h"

namespace {

// The window's "Adjustment Range" step for `change`, in volume units.
int32_t StepOf(const VolumeController& volume, AppChange change)
{
    if (change == AppChange::Mute) return 0;
    const int percent = change == AppChange::Up ? volume.StepUpPercent() : volume.StepDownPercent();
    return static_cast<int32_t>(StepUnits(percent));
}

}  // namespace

void AppHotkey(AppMixerProperties* mixer, const VolumeController& volume, AppChange change,
               TLevelDisplay* display)
{
    AppShown shown;
    std::string failure = mixer ? "" : LevelFailureText("");  // no component: no output
    try {
        if (mixer)
            shown = ChangeAppVolume(*mixer, ForegroundAppProcess(), change, StepOf(volume, change));
    } catch (const TextError& error) {
        failure = LevelFailureText(error.what());
    }
    if (!display) return;
    if (!failure.empty())
        display->ShowText(failure, false);
    else if (!shown.sound)
        display->ShowText(NoSoundText(shown.name), false);
    else
        display->Show(shown.name, shown.level, shown.muted);
}
