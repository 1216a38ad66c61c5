#pragma once
// The hotkeys for the program in front ("App up", "App down", "App mute"):
// what one press asks of the mixer component and what the level display
// shows of it. Portable: the window resolves the program in front to a
// process id and shows the outcome.
#include <cstdint>
#include <string>

// The mixer component's properties for one program's volume. On Windows
// TAudioMixer; tests use fakes. Any access may throw TextError.
class AppMixerProperties {
public:
    virtual ~AppMixerProperties() = default;
    virtual void setAppProcess(int32_t process) = 0;
    virtual std::string appDisplayName() = 0;
    virtual int16_t appSessionCount() = 0;
    virtual int32_t appLevel() = 0;
    virtual void setAppStep(int32_t units) = 0;
    virtual bool appMute() = 0;
    virtual void setAppMute(bool muted) = 0;
};

enum class AppChange { Up, Down, Mute };

// What the level display shows after a press: the program's name with its
// level (the loudest of its sounds) or "Muted", or "<name>: no sound".
struct AppShown {
    std::string name;
    bool sound = false;  // false: the program has no sound now
    int32_t level = 0;
    bool muted = false;
};

// Steps every sound of the program of `process` by `units` (Up, Down), or
// mutes them all when any plays unmuted and else unmutes them all (Mute).
// The master volume is not touched. Throws TextError when the component
// cannot do it (no window in front, Windows XP).
AppShown ChangeAppVolume(AppMixerProperties& mixer, uint32_t process, AppChange change,
                         int32_t units);

// The display's text for a program without sound.
std::string NoSoundText(const std::string& name);
