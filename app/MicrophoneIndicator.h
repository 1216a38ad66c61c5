#pragma once
// The microphones: their hotkey, and their icon in the notification area,
// shown while every microphone is muted. Where the component tells every
// change of them, the icon follows its events; else, while it shows, a timer
// on the main window (MicrophoneTimer) reads their state again, so that the
// icon goes when another program turns them on. At rest nothing runs.
#include <windows.h>

#include "app/LevelDisplay.h"
#include "app/Notifyicon.h"
#include "app/TrayImages.h"

class TAudioMixer;

class TMicrophoneIndicator {
public:
    explicit TMicrophoneIndicator(const TTrayImages& images) : images_(images) {}

    // The window the icon and its timer belong to, and the component, which
    // may be missing or lack micMute; `told`: it tells the microphones'
    // changes, so no timer needs to look.
    void Attach(HWND window, TAudioMixer* mixer, bool told);
    // Whether every microphone is muted now, with the icon shown while they
    // are; false when the component cannot tell.
    bool Read();
    // One press toggles from the state the microphones are really in, which
    // another program may have changed; `display`, if given, says what came
    // of it.
    void HotkeyPressed(TLevelDisplay* display);
    // The tray images were made anew at another size.
    void ImagesChanged();
    // The notification area was made anew: it holds no icon of ours.
    void ShellRestarted();
    void Stop();

private:
    void ShowIcon(bool muted);

    const TTrayImages& images_;
    HWND window_ = nullptr;
    TAudioMixer* mixer_ = nullptr;  // set only when it has micMute
    bool told_ = false;
    TTrayIcon icon_{ShellNotifyIcon, MicTrayIconId, 0};
};
