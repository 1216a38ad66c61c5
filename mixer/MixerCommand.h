#pragma once
// The rules of tarnmixer.exe, the command line for the volume: its commands,
// percents, lines and exit codes. Portable: the program around it reaches
// the component.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/TextError.h"

enum ExitCode { ExitDone = 0, ExitCommandLine = 1, ExitNoLine = 2, ExitRefused = 3 };

// What went wrong, in one line, with the exit code that says so; `details`
// (the usage, the lines there are) follows it on standard error.
class ToolFailure : public TextError {
public:
    ToolFailure(ExitCode code, std::string text, std::string details = {})
        : TextError(std::move(text)), code_(code), details_(std::move(details))
    {
    }
    ExitCode Code() const { return code_; }
    const std::string& Details() const { return details_; }

private:
    ExitCode code_;
    std::string details_;
};

// A percent is the component's volume as the window shows it (truncated),
// and the percent Windows shows for the level (the component's conversion
// keeps the two agreeing); a percent written is the least volume showing
// it, so that it reads back as itself.
int32_t VolumeOfPercent(int percent);
int PercentOfVolume(int32_t volume);
// A signed step of `percent` in volume units, as VolumeOfPercent rounds it.
int32_t VolumeStepOfPercent(int percent);

enum class Verb { Help, List, Get, Set, Mute, Mic, Default, App };
enum class Switch { On, Off, Toggle };  // mute's: "on" is the mute on
enum class MicSwitch { Mute, Unmute, Toggle };

struct MixerCommand {
    Verb verb = Verb::Help;
    Switch change = Switch::Toggle;  // mute, app's mute
    MicSwitch mic = MicSwitch::Toggle;
    bool relative = false;     // set: +N or -N
    int percent = 0;           // set: the percent, or the signed step
    std::string line = "0";    // get, set, mute: as given, else entry 0
    bool choose = false;       // default: a LINE (or "next") was given
    bool next = false;         // default: "next" rather than a LINE
    std::string app;           // app: the executable's name, as given
    Verb appVerb = Verb::Get;  // app: Get, Set or Mute, with the fields above
};

// The arguments after the program's name; throws ToolFailure (ExitCommandLine,
// the usage as details) when they are no command.
MixerCommand ParseMixerCommand(const std::vector<std::string>& args);

// The percent `set` asks for where the line reads `current`.
int TargetPercent(const MixerCommand& command, int current);

// The entry of `names` (the Channel list) that `line` picks, or -1: its index
// from 0, or else the first name that starts with it. The caller gives both
// in one case.
int ChooseLine(const std::vector<std::string>& names, const std::string& line);

// How to call it, lines ending in "\n".
const char* UsageText();
