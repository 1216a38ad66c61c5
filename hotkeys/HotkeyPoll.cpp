#include "hotkeys/HotkeyPoll.h"

// The poll over the abstract platform is compiled once, here.
template class BasicHotkeyPoller<HotkeyPlatform>;
