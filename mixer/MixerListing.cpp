// The listing "tarnmixer list" prints. "*" marks the device and line the
// component selects at start; Tarnbell's Channel list holds the valid lines
// of that device.
#include "MixerListing.h"

#include "CoreAudioBackend.h"
#include "MixerClient.h"
#include "TarnMixerIds.h"

#include "common/ComClient.h"

namespace Id = TarnMixerDispid;

namespace {

std::string Shown(MixerClient& mixer, DISPID id)
{
    Variant value;
    CallFailure error;
    if (!mixer.Get(id, VT_BSTR, value, error)) return "error: " + error.text;
    return Narrow(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value))));
}

int Number(MixerClient& mixer, DISPID id, int fallback)
{
    Variant value;
    CallFailure error;
    return mixer.Get(id, VT_I4, value, error) ? V_I4(&value) : fallback;
}

std::string Flag(MixerClient& mixer, DISPID id, const char* yes, const char* no)
{
    Variant value;
    CallFailure error;
    if (!mixer.Get(id, VT_BOOL, value, error)) return "error: " + error.text;
    return V_BOOL(&value) ? yes : no;
}

void ListLines(MixerClient& mixer, bool startDevice, std::string& out)
{
    const int count = Number(mixer, Id::srcOutputCount, 0);
    if (count < 1) out += "      (no lines)\n";
    for (int line = 0; line < count; ++line) {
        const std::string number = std::to_string(line);
        CallFailure error;
        if (!mixer.Put(Id::srcOutput, VT_I2, line, error)) {
            out += "      Line " + number + ": error: " + error.text + "\n";
            continue;
        }
        out += std::string("    ") + (startDevice && line == 0 ? "*" : " ") + " Line " + number +
               ": " + Flag(mixer, Id::srcOutputValid, "valid", "not valid") + ", \"" +
               Shown(mixer, Id::srcOutputName) + "\", volume " + Shown(mixer, Id::srcVolume) +
               ", mute " + Flag(mixer, Id::srcMute, "on", "off") + "\n";
    }
}

// micMute is true only while every one of them is muted.
std::string Microphones(MixerClient& mixer)
{
    Variant count;
    CallFailure error;
    if (!mixer.Get(Id::micCount, VT_I4, count, error))
        return NotOffered(error) ? "Microphones: this TarnMixer.dll offers none\n"
                                 : "Microphones: error: " + error.text + "\n";
    std::string out = "Microphones: " + std::to_string(V_I4(&count));
    if (V_I4(&count) > 0) out += ", " + Flag(mixer, Id::micMute, "all muted", "not all muted");
    return out + "\n";
}

}  // namespace

std::string ListMixer(IDispatch* dispatch)
{
    MixerClient mixer(dispatch);
    const int start = Number(mixer, Id::devOutput, -1);
    const int last = Number(mixer, Id::devOutputMax, -1);
    const std::string backend = Shown(mixer, Id::BackendName);
    const std::string reason = Shown(mixer, Id::BackendReason);
    std::string out = "Backend: " + backend + (reason.empty() ? "" : ": " + reason) + "\n";
    out += Microphones(mixer);
    out += "Devices: " + std::to_string(last + 1) + " (* = selected at start)\n";
    for (int device = 0; device <= last; ++device) {
        const std::string number = std::to_string(device);
        CallFailure error;
        if (!mixer.Put(Id::devOutput, VT_I2, device, error)) {
            out += "  Device " + number + ": error: " + error.text + "\n";
            continue;
        }
        out += std::string(device == start ? "*" : " ") + " Device " + number + ": " +
               Flag(mixer, Id::devOutputValid, "valid", "not valid") + "\n";
        ListLines(mixer, device == start, out);
    }
    if (backend == Narrow(CoreAudioBackendName))
        out += "Line 0 follows the output Windows plays to by default, at every use;\n"
               "each other line stays on its own output. An output connected later\n"
               "is listed when the device is selected again.\n";
    return out;
}
