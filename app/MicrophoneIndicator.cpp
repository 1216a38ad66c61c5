#include "app/MicrophoneIndicator.h"

#include <exception>
#include <string>

#include "app/WindowMessages.h"
#include "volume/TarnMixerLib_TLB.h"

namespace {

constexpr const char* MutedTip = "Microphone muted";

}  // namespace

void TMicrophoneIndicator::Attach(HWND window, TAudioMixer* mixer, bool told)
{
    window_ = window;
    told_ = told;
    mixer_ = nullptr;
    try {
        if (mixer && mixer->hasMicMute()) mixer_ = mixer;
    } catch (...) {
        // A component that cannot tell has no microphones for the program.
    }
}

// A read that fails while microphones are there decides nothing: the icon
// and its timer stay, and the next read decides.
bool TMicrophoneIndicator::Read()
{
    bool muted = false, known = !mixer_;
    try {
        if (mixer_) {
            if (mixer_->micCount() != 0) muted = mixer_->micMute();
            known = true;
        }
    } catch (...) {
    }
    if (known) ShowIcon(muted);
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
    if (!told_) SetTimer(window_, MicrophoneTimer, MicrophoneInterval, nullptr);
}
