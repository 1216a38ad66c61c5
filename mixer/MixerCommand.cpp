#include "MixerCommand.h"

#include <algorithm>

#include "TarnMixerIds.h"

namespace {

// Larger numbers say no more: a line index past any list, a step past the
// whole range.
constexpr int NumberCap = 100000;

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Decimal digits only, as a number up to NumberCap; -1 for anything else.
int Digits(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    int value = 0;
    for (char c : text)
        value = std::min(NumberCap, value * 10 + (c - '0'));
    return value;
}

[[noreturn]] void Wrong(const std::string& text)
{
    throw ToolFailure(ExitCommandLine, text, UsageText());
}

void ParsePercent(const std::string& text, MixerCommand& command)
{
    command.relative = !text.empty() && (text[0] == '+' || text[0] == '-');
    const int value = Digits(command.relative ? text.substr(1) : text);
    if (value < 0 || (!command.relative && value > 100))
        Wrong("\"" + text + "\" is no percent: give 0 to 100, or +N or -N to step.");
    command.percent = text[0] == '-' ? -value : value;
}

// The switch after the verb at `at`.
Switch ParseSwitch(const std::vector<std::string>& args, std::size_t at = 0)
{
    const std::string word = args.size() > at + 1 ? Lower(args[at + 1]) : std::string();
    if (word == "on") return Switch::On;
    if (word == "off") return Switch::Off;
    if (word == "toggle") return Switch::Toggle;
    Wrong("\"" + args[at] + "\" takes on, off or toggle.");
}

// "app NAME [get | set PERCENT | mute on|off|toggle]"; gives the arguments used.
std::size_t ParseApp(const std::vector<std::string>& args, MixerCommand& command)
{
    if (args.size() < 2 || args[1].empty()) Wrong("\"" + args[0] + "\" takes a program's name.");
    command.app = args[1];
    if (args.size() < 3) return 2;
    const std::string verb = Lower(args[2]);
    if (verb == "get") return 3;
    if (verb == "set") {
        command.appVerb = Verb::Set;
        if (args.size() < 4) Wrong("\"" + args[2] + "\" takes a PERCENT.");
        ParsePercent(args[3], command);
        return 4;
    }
    if (verb == "mute") {
        command.appVerb = Verb::Mute;
        command.change = ParseSwitch(args, 2);
        return 4;
    }
    Wrong("\"" + args[2] + "\" is no command for a program: give get, set or mute.");
}

// The microphones' words name their state: "on" is the microphone on, as
// the printed "on" says, so it unmutes.
MicSwitch ParseMicSwitch(const std::vector<std::string>& args)
{
    const std::string word = args.size() > 1 ? Lower(args[1]) : std::string();
    if (word == "mute" || word == "off") return MicSwitch::Mute;
    if (word == "unmute" || word == "on") return MicSwitch::Unmute;
    if (word == "toggle") return MicSwitch::Toggle;
    Wrong("\"" + args[0] + "\" takes mute, unmute or toggle (off mutes, on unmutes).");
}

}  // namespace

int32_t VolumeOfPercent(int percent)
{
    const int clamped = std::clamp(percent, 0, 100);
    // The least volume of that percent, which the window and Windows show so.
    return static_cast<int32_t>((int64_t{clamped} * FullVolume + 99) / 100);
}

int32_t VolumeStepOfPercent(int percent)
{
    return percent < 0 ? -VolumeOfPercent(-percent) : VolumeOfPercent(percent);
}

int PercentOfVolume(int32_t volume)
{
    const int64_t clamped = std::clamp<int64_t>(volume, 0, FullVolume);
    return static_cast<int>(clamped * 100 / FullVolume);  // as the window shows it
}

MixerCommand ParseMixerCommand(const std::vector<std::string>& args)
{
    MixerCommand command;
    if (args.empty()) Wrong("No command given.");
    const std::string verb = Lower(args[0]);
    std::size_t used = 1;
    if (verb == "/?" || verb == "-h" || verb == "--help") {
        command.verb = Verb::Help;
    } else if (verb == "list") {
        command.verb = Verb::List;
    } else if (verb == "get") {
        command.verb = Verb::Get;
    } else if (verb == "set") {
        command.verb = Verb::Set;
        if (args.size() < 2) Wrong("\"" + args[0] + "\" takes a PERCENT.");
        ParsePercent(args[1], command);
        used = 2;
    } else if (verb == "app") {
        command.verb = Verb::App;
        used = ParseApp(args, command);
    } else if (verb == "mute") {
        command.verb = Verb::Mute;
        command.change = ParseSwitch(args);
        used = 2;
    } else if (verb == "mic") {
        command.verb = Verb::Mic;
        command.mic = ParseMicSwitch(args);
        used = 2;
    } else if (verb == "default") {
        command.verb = Verb::Default;
        command.choose = args.size() > 1;
        command.next = command.choose && Lower(args[1]) == "next";
    } else {
        Wrong("\"" + args[0] + "\" is no command.");
    }
    const bool takesLine = command.verb == Verb::Get || command.verb == Verb::Set ||
                           command.verb == Verb::Mute || command.verb == Verb::Default;
    if (takesLine && args.size() > used) command.line = args[used++];
    if (args.size() > used) Wrong("\"" + args[used] + "\" is one argument too many.");
    return command;
}

int TargetPercent(const MixerCommand& command, int current)
{
    return std::clamp(command.relative ? current + command.percent : command.percent, 0, 100);
}

int ChooseLine(const std::vector<std::string>& names, const std::string& line)
{
    const int count = static_cast<int>(names.size());
    const int index = Digits(line);
    if (index >= 0) return index < count ? index : -1;
    if (line.empty()) return -1;
    for (int i = 0; i < count; ++i)
        if (names[i].compare(0, line.size(), line) == 0) return i;
    return -1;
}

const char* UsageText()
{
    return "Usage:\n"
           "  tarnmixer list                       the backend, devices, lines and microphones\n"
           "  tarnmixer get [LINE]                 the line's volume: \"40\", or \"40 muted\"\n"
           "  tarnmixer set PERCENT [LINE]         0 to 100 sets it; +N or -N steps it\n"
           "  tarnmixer mute on|off|toggle [LINE]  mutes or unmutes the line\n"
           "  tarnmixer mic mute|unmute|toggle     every microphone: \"muted\" or \"on\"\n"
           "                                       (off also mutes them, on unmutes them)\n"
           "  tarnmixer default [LINE|next]        Windows' default output: \"2: Speakers\";\n"
           "                                       LINE, or the next output, becomes it\n"
           "  tarnmixer app NAME [get | set PERCENT | mute on|off|toggle]\n"
           "                                       a program's volume: every audio stream of\n"
           "                                       every running NAME.exe (\".exe\" optional)\n"
           "LINE is an entry of Tarnbell's Channel list: its number from 0, or the start\n"
           "of its name in any case. Without LINE: entry 0.\n"
           "set and mute print the line's (or program's) state afterwards, as get does.\n"
           "Exit codes: 0 done, 1 wrong command line, 2 no such line or no such program\n"
           "with sound (the programs that have sound follow), 3 the component\n"
           "or the audio system refused.\n";
}
