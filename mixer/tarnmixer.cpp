// tarnmixer: the volume from the command line, for batch files, scheduled
// tasks and script hosts. It drives the component in percent on the lines
// of Tarnbell's Channel list, prints one value a line and tells what went
// wrong by its exit code and one line on standard error.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <new>
#include <string>
#include <vector>

#include "MixerClient.h"
#include "MixerCommand.h"
#include "MixerListing.h"
#include "TarnMixerIds.h"

#include "common/ComClient.h"
#include "common/NextOutput.h"
#include "common/Owned.h"

using Microsoft::WRL::ComPtr;
namespace Id = TarnMixerDispid;

namespace {

constexpr const char* NoMicrophones = "This TarnMixer.dll offers no microphones.";
constexpr const char* NoDefaultOutput = "This TarnMixer.dll cannot tell the default output.";
constexpr const char* NoAppVolume = "This TarnMixer.dll offers no volume per program.";

[[noreturn]] void Refused(const std::string& text) { throw ToolFailure(ExitRefused, text); }

std::wstring ProgramFolder()
{
    // A path longer than the buffer comes back cut: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) >=
           path.size())
        path.resize(path.size() * 2);
    path.resize(n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// The component: the TarnMixer.dll beside this program, loaded without
// registration, so that an unzipped folder works before Tarnbell has ever
// started; only where there is none, the registered one.
class Component {
public:
    Component()
    {
        if (FAILED(com_.Result())) Refused("COM could not be started.");
        const char* name = TarnMixerFileName;
        const std::wstring dll = ProgramFolder() + std::wstring(name, name + lstrlenA(name));
        if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
            Check(CoCreateInstance(CLSID_TarnMixer, nullptr,
                                   CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_PPV_ARGS(&dispatch_)));
            return;
        }
        library_.reset(LoadLibraryExW(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!library_) {
            const DWORD error = GetLastError();
            // A 32-bit program cannot load a 64-bit DLL, nor the other way round.
            if (error == ERROR_BAD_EXE_FORMAT)
                Refused("The TarnMixer.dll beside tarnmixer.exe is of the other bitness: "
                        "keep the files of one download together.");
            Refused("The TarnMixer.dll beside tarnmixer.exe could not be loaded: " +
                    SystemText(HRESULT_FROM_WIN32(error)) + ".");
        }
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        const auto getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "DllGetClassObject")));
        ComPtr<IClassFactory> factory;
        HRESULT hr = getClassObject ? getClassObject(CLSID_TarnMixer, IID_PPV_ARGS(&factory))
                                    : CLASS_E_CLASSNOTAVAILABLE;
        if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(&dispatch_));
        Check(hr);
    }

    IDispatch* Get() const { return dispatch_.Get(); }

private:
    static void Check(HRESULT hr)
    {
        if (SUCCEEDED(hr)) return;
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
        Refused("TarnMixer could not be created: " + SystemText(hr) + " (" + code + ").");
    }

    // Released in reverse: the object, then COM, then the DLL that served it.
    Owned<HMODULE, FreeLibrary> library_;
    ComApartment com_;
    ComPtr<IDispatch> dispatch_;
};

// One property as a number (VT_I4) or a flag (VT_BOOL, 1 for true). Where
// the component has no such property, `absent` says so if given.
long Read(MixerClient& mixer, DISPID id, VARTYPE type, const char* absent = nullptr)
{
    Variant value;
    CallFailure failure;
    if (!mixer.Get(id, type, value, failure))
        Refused(absent && NotOffered(failure) ? absent : failure.text);
    return type == VT_BOOL ? V_BOOL(&value) != VARIANT_FALSE : V_I4(&value);
}

void Write(MixerClient& mixer, DISPID id, VARTYPE type, long value, const char* absent = nullptr)
{
    CallFailure failure;
    if (!mixer.Put(id, type, value, failure))
        Refused(absent && NotOffered(failure) ? absent : failure.text);
}

std::string ReadName(MixerClient& mixer)
{
    Variant value;
    CallFailure failure;
    if (!mixer.Get(Id::srcOutputName, VT_BSTR, value, failure)) Refused(failure.text);
    return Narrow(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value))));
}

std::string Upper(std::string text)
{
    if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

struct Channel {
    int line;  // the component's line index
    std::string name;
};

// Tarnbell's Channel list: the valid lines of the device its start selects,
// the component's own choice moved past every device from there on that
// cannot be used.
std::vector<Channel> Channels(MixerClient& mixer)
{
    int device = Read(mixer, Id::devOutput, VT_I4);
    const int last = Read(mixer, Id::devOutputMax, VT_I4);
    for (int j = 0; j <= last; ++j) {
        Write(mixer, Id::devOutput, VT_I2, j);
        if (j == device && !Read(mixer, Id::devOutputValid, VT_BOOL)) ++device;
    }
    Write(mixer, Id::devOutput, VT_I2, device > last ? 0 : device);
    std::vector<Channel> channels;
    const int count = Read(mixer, Id::srcOutputCount, VT_I4);
    for (int line = 0; line < count; ++line) {
        Write(mixer, Id::srcOutput, VT_I2, line);
        if (Read(mixer, Id::srcOutputValid, VT_BOOL)) channels.push_back({line, ReadName(mixer)});
    }
    return channels;
}

// The entry of `channels` that `line` names; fails with the entries there are.
int ChooseChannel(const std::vector<Channel>& channels, const std::string& line)
{
    std::vector<std::string> names;
    std::string listed;
    for (const Channel& channel : channels) {
        listed += std::to_string(names.size()) + ": " + channel.name + "\n";
        names.push_back(Upper(channel.name));
    }
    const int entry = ChooseLine(names, Upper(line));
    if (entry < 0)
        throw ToolFailure(ExitNoLine,
                          "There is no line \"" + line + "\"" +
                              (channels.empty() ? ": the device has none." : "."),
                          listed);
    return entry;
}

void SelectLine(MixerClient& mixer, const MixerCommand& command)
{
    const std::vector<Channel> channels = Channels(mixer);
    Write(mixer, Id::srcOutput, VT_I2, channels[ChooseChannel(channels, command.line)].line);
}

// The Channel list entry of Windows' default output; -1 where none is.
int DefaultEntry(MixerClient& mixer, const std::vector<Channel>& channels)
{
    const int line = Read(mixer, Id::defaultOutput, VT_I4, NoDefaultOutput);
    for (std::size_t entry = 0; entry < channels.size(); ++entry)
        if (channels[entry].line == line) return static_cast<int>(entry);
    return -1;
}

// The entry the command makes the default, then the default's entry as read.
std::string DefaultOutput(MixerClient& mixer, const MixerCommand& command)
{
    const std::vector<Channel> channels = Channels(mixer);
    if (command.choose) {
        std::vector<std::string> names;
        for (const Channel& channel : channels)
            names.push_back(channel.name);
        const int entry =
            command.next ? NextOutputEntry(names, DefaultEntry(mixer, channels), DefaultOutputLine)
                         : ChooseChannel(channels, command.line);
        if (entry < 0) throw ToolFailure(ExitNoLine, "There is no output to switch to.");
        Write(mixer, Id::defaultOutput, VT_I2, channels[entry].line, NoDefaultOutput);
    }
    const int entry = DefaultEntry(mixer, channels);
    if (entry < 0) Refused("No line of the Channel list is the default output now.");
    return std::to_string(entry) + ": " + channels[entry].name + "\n";
}

bool Wanted(Switch change, bool current)
{
    return change == Switch::Toggle ? !current : change == Switch::On;
}

// The selected line as `get` prints it.
std::string LineState(MixerClient& mixer)
{
    const int percent = PercentOfVolume(Read(mixer, Id::srcVolume, VT_I4));
    return std::to_string(percent) + (Read(mixer, Id::srcMute, VT_BOOL) ? " muted\n" : "\n");
}

std::string Mic(MixerClient& mixer, MicSwitch change)
{
    const bool mute = change == MicSwitch::Toggle
                          ? !Read(mixer, Id::micMute, VT_BOOL, NoMicrophones)
                          : change == MicSwitch::Mute;
    Write(mixer, Id::micMute, VT_BOOL, mute, NoMicrophones);
    return Read(mixer, Id::micMute, VT_BOOL, NoMicrophones) ? "muted\n" : "on\n";
}

std::string ReadText(MixerClient& mixer, DISPID id)
{
    Variant value;
    CallFailure failure;
    if (!mixer.Get(id, VT_BSTR, value, failure)) Refused(failure.text);
    return Narrow(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value))));
}

// Picks every running process of the program; none with sound is exit 2,
// with the programs that have sound now.
void PickApp(MixerClient& mixer, const std::string& name)
{
    std::wstring wide(
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0),
        L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(),
                        static_cast<int>(wide.size()));
    CallFailure failure;
    if (!mixer.PutText(Id::appName, wide, failure))
        Refused(NotOffered(failure) ? NoAppVolume : failure.text);
    if (Read(mixer, Id::appSessionCount, VT_I4) > 0) return;
    const std::string programs = ReadText(mixer, Id::appList);
    throw ToolFailure(ExitNoLine, "No running program \"" + name + "\" has sound now.",
                      programs.empty() ? "No program has sound now.\n"
                                       : "Programs with sound now:\n" + programs);
}

std::string App(MixerClient& mixer, const MixerCommand& command)
{
    PickApp(mixer, command.app);
    if (command.appVerb == Verb::Set && command.relative)
        Write(mixer, Id::appStep, VT_I4, VolumeStepOfPercent(command.percent));
    else if (command.appVerb == Verb::Set)
        Write(mixer, Id::appLevel, VT_I4, VolumeOfPercent(command.percent));
    if (command.appVerb == Verb::Mute) {
        const bool current = command.change == Switch::Toggle && Read(mixer, Id::appMute, VT_BOOL);
        Write(mixer, Id::appMute, VT_BOOL, Wanted(command.change, current));
    }
    const int percent = PercentOfVolume(Read(mixer, Id::appLevel, VT_I4));
    return std::to_string(percent) + (Read(mixer, Id::appMute, VT_BOOL) ? " muted\n" : "\n");
}

std::string Run(const MixerCommand& command)
{
    Component component;
    MixerClient mixer(component.Get());
    if (command.verb == Verb::List) return ListMixer(component.Get());
    if (command.verb == Verb::Mic) return Mic(mixer, command.mic);
    if (command.verb == Verb::Default) return DefaultOutput(mixer, command);
    if (command.verb == Verb::App) return App(mixer, command);
    SelectLine(mixer, command);
    if (command.verb == Verb::Set) {
        // A step goes from the level the line has now, not from a remembered one.
        const int current =
            command.relative ? PercentOfVolume(Read(mixer, Id::srcVolume, VT_I4)) : 0;
        Write(mixer, Id::srcVolume, VT_I4, VolumeOfPercent(TargetPercent(command, current)));
    } else if (command.verb == Verb::Mute) {
        const bool current = command.change == Switch::Toggle && Read(mixer, Id::srcMute, VT_BOOL);
        Write(mixer, Id::srcMute, VT_BOOL, Wanted(command.change, current));
    }
    return LineState(mixer);
}

// Text on standard output or error with Windows line ends. A console shows
// its own code page, not the program's ANSI one: there the text goes as
// UTF-16, so that a line's name reads right; a pipe or file gets it as is.
void Print(DWORD which, const std::string& text)
{
    std::string lines;
    for (char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    const HANDLE out = GetStdHandle(which);
    const int size = static_cast<int>(lines.size());
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        std::wstring wide(MultiByteToWideChar(CP_ACP, 0, lines.data(), size, nullptr, 0), L'\0');
        MultiByteToWideChar(CP_ACP, 0, lines.data(), size, wide.data(),
                            static_cast<int>(wide.size()));
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, lines.data(), static_cast<DWORD>(size), &written, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const MixerCommand command =
            ParseMixerCommand(std::vector<std::string>(argv + 1, argv + argc));
        Print(STD_OUTPUT_HANDLE, command.verb == Verb::Help ? UsageText() : Run(command));
        return ExitDone;
    } catch (const ToolFailure& failure) {
        Print(STD_ERROR_HANDLE, failure.what() + ("\n" + failure.Details()));
        return failure.Code();
    } catch (const TextError& error) {
        Print(STD_ERROR_HANDLE, error.what() + std::string("\n"));
    } catch (const std::bad_alloc&) {
        Print(STD_ERROR_HANDLE, "Out of memory.\n");
    }
    return ExitRefused;
}
