#pragma once
// "App up", "App down" and "App mute": a press acts on every sound of the
// program whose window is in front, never on the master volume, and the
// level display says what came of it.
#include <cstdint>

#include "volume/AppVolumeAction.h"

class TLevelDisplay;

// `mixer` null: there is no component. `display` null: nothing is shown
// (the "Show level on screen" box is unticked).
void AppHotkey(AppMixerProperties* mixer, AppChange change, int32_t units, TLevelDisplay* display);
