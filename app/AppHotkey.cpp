#include "app/AppHotkey.h"

#include "app/LevelDisplay.h"
#include "common/TextError.h"
#include "volume/ForegroundApp.h"
#include "volume/VolumeController.h"

void AppHotkey(AppMixerProperties* mixer, AppChange change, int32_t units, TLevelDisplay* display)
{
    AppShown shown;
    std::string failure = mixer ? "" : LevelFailureText("");  // no component: no output
    try {
        if (mixer) shown = ChangeAppVolume(*mixer, ForegroundAppProcess(), change, units);
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
