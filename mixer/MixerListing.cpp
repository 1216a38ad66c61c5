// The listing tarnmixer-list prints. "*" marks the device and line the
// component selects at start; Tarnbell's Channel list holds the valid lines
// of that device.
#include "MixerListing.h"

#include "CoreAudioBackend.h"
#include "TarnMixerIds.h"

#include "common/ComClient.h"

namespace Id = TarnMixerDispid;

namespace {

// One property access; on failure `error` says why, in the component's words
// where it gave some.
class Mixer {
public:
    explicit Mixer(IDispatch* dispatch) : dispatch_(dispatch) {}

    bool Get(DISPID id, VARTYPE type, Variant& value, std::string& error)
    {
        DISPPARAMS none{};
        return Call(id, DISPATCH_PROPERTYGET, none, &value, error) && Convert(value, type, error);
    }

    bool Put(DISPID id, short value, std::string& error)
    {
        Variant argument;
        V_VT(&argument) = VT_I2;
        V_I2(&argument) = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&argument, &named, 1, 1};
        return Call(id, DISPATCH_PROPERTYPUT, params, nullptr, error);
    }

private:
    bool Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, std::string& error)
    {
        ExcepInfo info;
        const HRESULT hr =
            dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, &info, nullptr);
        if (SUCCEEDED(hr)) return true;
        HRESULT code = hr;
        error = InvokeErrorText(hr, info, code);
        return false;
    }

    static bool Convert(Variant& value, VARTYPE type, std::string& error)
    {
        const HRESULT hr = VariantChangeType(&value, &value, 0, type);
        if (FAILED(hr)) error = SystemText(hr);
        return SUCCEEDED(hr);
    }

    IDispatch* dispatch_;
};

std::string Shown(Mixer& mixer, DISPID id)
{
    Variant value;
    std::string error;
    if (!mixer.Get(id, VT_BSTR, value, error)) return "error: " + error;
    return Narrow(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value))));
}

int Number(Mixer& mixer, DISPID id, int fallback)
{
    Variant value;
    std::string error;
    return mixer.Get(id, VT_I4, value, error) ? V_I4(&value) : fallback;
}

std::string Flag(Mixer& mixer, DISPID id, const char* yes, const char* no)
{
    Variant value;
    std::string error;
    if (!mixer.Get(id, VT_BOOL, value, error)) return "error: " + error;
    return V_BOOL(&value) ? yes : no;
}

void ListLines(Mixer& mixer, bool startDevice, std::string& out)
{
    const int count = Number(mixer, Id::srcOutputCount, 0);
    if (count < 1) out += "      (no lines)\n";
    for (int line = 0; line < count; ++line) {
        const std::string number = std::to_string(line);
        std::string error;
        if (!mixer.Put(Id::srcOutput, static_cast<short>(line), error)) {
            out += "      Line " + number + ": error: " + error + "\n";
            continue;
        }
        out += std::string("    ") + (startDevice && line == 0 ? "*" : " ") + " Line " + number +
               ": " + Flag(mixer, Id::srcOutputValid, "valid", "not valid") + ", \"" +
               Shown(mixer, Id::srcOutputName) + "\", volume " + Shown(mixer, Id::srcVolume) +
               ", mute " + Flag(mixer, Id::srcMute, "on", "off") + "\n";
    }
}

}  // namespace

std::string ListMixer(IDispatch* dispatch)
{
    Mixer mixer(dispatch);
    const int start = Number(mixer, Id::devOutput, -1);
    const int last = Number(mixer, Id::devOutputMax, -1);
    const std::string backend = Shown(mixer, Id::BackendName);
    const std::string reason = Shown(mixer, Id::BackendReason);
    std::string out = "Backend: " + backend + (reason.empty() ? "" : ": " + reason) + "\n";
    out += "Devices: " + std::to_string(last + 1) + " (* = selected at start)\n";
    for (int device = 0; device <= last; ++device) {
        const std::string number = std::to_string(device);
        std::string error;
        if (!mixer.Put(Id::devOutput, static_cast<short>(device), error)) {
            out += "  Device " + number + ": error: " + error + "\n";
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
