#include "app/MicrophoneIndicator.h"

#include <exception>
#include <string>

#include "app/WindowMessages.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

constexpr const char* MutedTip = "Microphone muted";

}  // namespace

void TMicrophoneIndicator::Attach(HWND window, TAudioMixer* mixer)
{
    window_ = window;
    mixer_ = nullptr;
    try {
        if (mixer && mixer->hasMicMute()) mixer_ = mixer;
    } catch (...) {
        // A component that cannot tell has no microphones for the program.
    }
}

bool TMicrophoneIndicator::Read()
{
    bool muted = false;
    try {
        if (mixer_) muted = mixer_->micMute();
    } catch (...) {
        muted = false;
    }
    ShowIcon(muted);
    return muted;
}

void TMicrophoneIndicator::HotkeyPressed(TLevelDisplay* display)
{
    if (!mixer_) return;
    std::string shown;
    try {
        mixer_->setMicMute(!mixer_->micMute());
        shown = Read() ? MutedTip : "Microphone on";
    } catch (const std::exception& e) {
        shown = e.what();  // the component's own words: "There is no microphone now."
    }
    if (display) display->ShowText(shown, shown != "Microphone on");
}

void TMicrophoneIndicator::ImagesChanged()
{
    Icon icon = images_.Microphones();
    icon_.Modify(MutedTip, icon.get());
}

void TMicrophoneIndicator::ShellRestarted()
{
    icon_.Forget();
    Read();
}

void TMicrophoneIndicator::Stop()
{
    if (window_) KillTimer(window_, MicrophoneTimer);
    icon_.Delete();
}

void TMicrophoneIndicator::ShowIcon(bool muted)
{
    if (!muted) {
        if (window_) KillTimer(window_, MicrophoneTimer);
        icon_.Delete();
        return;
    }
    Icon icon = images_.Microphones();
    icon_.Add(window_, MutedTip, icon.get());
    SetTimer(window_, MicrophoneTimer, MicrophoneInterval, nullptr);
}
