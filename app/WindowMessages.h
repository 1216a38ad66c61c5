#pragma once
// The program's own window messages, all in one place. Their numbers are
// fixed: the detector thread, the shell and the tests post them by number.
#include <windows.h>

#include "hotkeys/HotkeyActions.h"

// Posted by the hotkey detector thread for every recognised press.
static_assert(WM_HOTKEYACTION == WM_USER + 1, "the detector posts WM_USER + 1");
// The tray icon's callback: LParam carries the mouse message.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 2;
// Posted by the main window's first show: it then goes to the tray.
constexpr UINT WM_FIRSTACTIVATE = WM_USER + 3;
// Posted by the mixer component's events (TMixerEvents) for each change made
// elsewhere (media keys, the volume flyout, other programs, outputs plugged
// in or out): WParam is the event's TarnMixerEventId.
constexpr UINT WM_MIXERCHANGE = WM_USER + 4;

// The tray icon's timer on the main window: another add while the shell has
// refused the icon (TTrayIcon), every TrayRetryInterval milliseconds.
constexpr UINT_PTR TrayRetryTimer = 1;
constexpr UINT TrayRetryInterval = 2000;

// While the pointer is over the tray icon, the main window looks this often
// whether it has left (TTrayWheelInput); no timer runs otherwise.
constexpr UINT_PTR TrayHoverTimer = 2;
constexpr UINT TrayHoverInterval = 300;

// While the microphones are muted, where the component does not tell every
// change (the winmm mixer): their state is read again this often, so that
// the microphone icon goes when another program turns them on (and is added
// again if the shell refused it).
constexpr UINT_PTR MicrophoneTimer = 3;
constexpr UINT MicrophoneInterval = 1000;
