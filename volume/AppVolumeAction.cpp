#include "AppVolumeAction.h"

#include "common/TextError.h"

AppShown ChangeAppVolume(AppMixerProperties& mixer, uint32_t process, AppChange change,
                         int32_t units)
{
    if (process == 0) throw TextError("No window is in front");
    mixer.setAppProcess(static_cast<int32_t>(process));
    AppShown shown;
    shown.name = mixer.appDisplayName();
    shown.sound = mixer.appSessionCount() > 0;
    if (!shown.sound) return shown;
    if (change == AppChange::Mute)
        mixer.setAppMute(!mixer.appMute());
    else
        mixer.setAppStep(change == AppChange::Up ? units : -units);
    shown.level = mixer.appLevel();
    shown.muted = mixer.appMute();
    return shown;
}

std::string NoSoundText(const std::string& name) { return name + ": no sound"; }
