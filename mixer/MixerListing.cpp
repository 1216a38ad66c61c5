// The listing tarnmixer-list prints. "*" marks the device and line the
// component selects at start; Tarnbell's Channel list holds the valid lines
// of that device.
#include "MixerListing.h"

#include "CoreAudioBackend.h"
#include "TarnMixerIds.h"

namespace Id = TarnMixerDispid;

namespace {

std::string Narrow(const wchar_t* text, int length = -1)
{
    if (!text) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    if (length < 0 && !result.empty()) result.pop_back();  // the terminating zero
    return result;
}

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

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
        EXCEPINFO info{};
        const HRESULT hr =
            dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, &info, nullptr);
        if (SUCCEEDED(hr)) return true;
        error = hr == DISP_E_EXCEPTION && info.bstrDescription ? Narrow(info.bstrDescription)
                                                               : SystemText(hr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
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
    std::string out = "Backend: " + backend + "\n";
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
               "is listed at the next start.\n";
    return out;
}

std::string SystemText(HRESULT hr)
{
    // Wine has no message text for the usual creation failures.
    switch (hr) {
    case REGDB_E_CLASSNOTREG: return "the class is not registered";
    case CO_E_DLLNOTFOUND: return "the registered DLL was not found";
    case E_NOINTERFACE: return "the object does not offer IDispatch";
    }
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer ? buffer : "", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "unknown error" : text;
}
