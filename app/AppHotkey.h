#pragma once
// "App up", "App down" and "App mute": a press acts on every sound of the
// program whose window is in front, never on the master volume, and the
// level display says what came of it.
#include "volume/AppVolumeAction.h"

class TLevelDisplay;
class VolumeController;

// `mixer` null: there is no component. `volume` gives the window's steps.
// `display` null: nothing is shown ("Show level on screen" is unticked).
void AppHotkey(AppMixerProperties* mixer, const VolumeController& volume, AppChange change,
               TLevelDisplay* display);
