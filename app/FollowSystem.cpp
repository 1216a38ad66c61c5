// The window follows what the media keys, the volume flyout, other programs
// and Windows change: the component tells each change made elsewhere, posted
// to the window as WM_MIXERCHANGE; the window reads the state afresh and
// shows it in its controls and in the tray icon and its tooltip, hidden or
// not. Between changes nothing runs.
#include "app/Main.h"

#include "hotkeys/HotkeyBinding.h"
#include "app/WindowMessages.h"
#include "volume/TarnMixerLib_TLB.h"

void TfrmMain::ConnectMixerEvents()
{
    if (!Mixer) return;
    // A component from before the events: the window shows the state as
    // read at each click on the icon, as it always did.
    Guarded(
        [this] { MixerEvents = std::make_unique<TMixerEvents>(*Mixer, Handle, WM_MIXERCHANGE); });
    EventsComplete = MixerEvents && Mixer->eventsComplete();
}

void TfrmMain::MixerChanged(WPARAM event)
{
    switch (event) {
    case TarnMixerEventId::OutputChanged:
        // The slider holds the mouse while the user drags it.
        Guarded([this] { Volume->FollowLine(GetCapture() == tbPlayBackVolume); });
        break;
    case TarnMixerEventId::OutputsChanged: Guarded([this] { Volume->FollowOutputs(); }); break;
    case TarnMixerEventId::MicrophonesChanged:
        if (MicMuteHotkey.Key.load(std::memory_order_relaxed) != 0) microphones_.Read();
        break;
    }
}
