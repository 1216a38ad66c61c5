#include "TarnMixerLib_TLB.h"

#include <oleauto.h>

// A VARIANT that clears itself.
class TAudioMixer::Variant {
public:
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT v;
};

namespace {

// Frees the strings a failed Invoke hands back.
struct ExcepInfo {
    EXCEPINFO info{};
    ~ExcepInfo()
    {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
};

std::string ToAnsi(const wchar_t* text, int length)
{
    if (length <= 0) return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::string SystemMessage(HRESULT hr)
{
    char buffer[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(hr), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) {
        char code[32];
        wsprintfA(code, "error 0x%08lX", static_cast<unsigned long>(hr));
        text = code;
    }
    return text;
}

[[noreturn]] void ThrowInvokeError(HRESULT hr, ExcepInfo& e)
{
    if (hr == DISP_E_EXCEPTION) {
        if (e.info.pfnDeferredFillIn) e.info.pfnDeferredFillIn(&e.info);
        HRESULT code = e.info.scode ? e.info.scode : hr;
        throw ComError(code, ComErrorText(code, &e.info));
    }
    throw ComError(hr, ComErrorText(hr));
}

}  // namespace

std::string ComErrorText(HRESULT hr, const EXCEPINFO* info)
{
    if (info && info->bstrDescription && SysStringLen(info->bstrDescription) > 0)
        return ToAnsi(info->bstrDescription, static_cast<int>(SysStringLen(info->bstrDescription)));
    return SystemMessage(hr);
}

TAudioMixer::TAudioMixer()
{
    HRESULT hr =
        CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IDispatch, reinterpret_cast<void**>(dispatch_.GetAddressOf()));
    if (FAILED(hr)) throw ComError(hr, ComErrorText(hr));
}

TAudioMixer::TAudioMixer(IDispatch* dispatch) : dispatch_(dispatch) {}

TAudioMixer::~TAudioMixer() = default;

void TAudioMixer::get(DISPID id, VARTYPE type, Variant& result)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ExcepInfo error;
    UINT argError = 0;
    Variant raw;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &raw.v,
                                   &error.info, &argError);
    if (FAILED(hr)) ThrowInvokeError(hr, error);
    hr = VariantChangeType(&result.v, &raw.v, 0, type);
    if (FAILED(hr)) throw ComError(hr, ComErrorText(hr));
}

void TAudioMixer::put(DISPID id, Variant& value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value.v, &named, 1, 1};
    ExcepInfo error;
    UINT argError = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                   &error.info, &argError);
    if (FAILED(hr)) ThrowInvokeError(hr, error);
}

bool TAudioMixer::getBool(DISPID id)
{
    Variant v;
    get(id, VT_BOOL, v);
    return v.v.boolVal != 0;
}

int16_t TAudioMixer::getShort(DISPID id)
{
    Variant v;
    get(id, VT_I2, v);
    return v.v.iVal;
}

void TAudioMixer::putBool(DISPID id, bool value)
{
    Variant v;
    v.v.vt = VT_BOOL;
    v.v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    put(id, v);
}

void TAudioMixer::putShort(DISPID id, int16_t value)
{
    Variant v;
    v.v.vt = VT_I2;
    v.v.iVal = value;
    put(id, v);
}

bool TAudioMixer::devOutputValid()
{
    return getBool(TarnMixerDispid::devOutputValid);
}
bool TAudioMixer::srcOutputValid()
{
    return getBool(TarnMixerDispid::srcOutputValid);
}
void TAudioMixer::setTimerInterval(int16_t value)
{
    putShort(TarnMixerDispid::TimerInterval, value);
}
void TAudioMixer::setTimerEnabled(bool value)
{
    putBool(TarnMixerDispid::TimerEnabled, value);
}
int16_t TAudioMixer::devOutput()
{
    return getShort(TarnMixerDispid::devOutput);
}
void TAudioMixer::setDevOutput(int16_t value)
{
    putShort(TarnMixerDispid::devOutput, value);
}
int16_t TAudioMixer::devOutputMax()
{
    return getShort(TarnMixerDispid::devOutputMax);
}
void TAudioMixer::setSrcOutput(int16_t value)
{
    putShort(TarnMixerDispid::srcOutput, value);
}
int16_t TAudioMixer::srcOutputCount()
{
    return getShort(TarnMixerDispid::srcOutputCount);
}
bool TAudioMixer::srcMute()
{
    return getBool(TarnMixerDispid::srcMute);
}
void TAudioMixer::setSrcMute(bool value)
{
    putBool(TarnMixerDispid::srcMute, value);
}

std::string TAudioMixer::srcOutputName()
{
    Variant v;
    get(TarnMixerDispid::srcOutputName, VT_BSTR, v);
    return ToAnsi(v.v.bstrVal, static_cast<int>(SysStringLen(v.v.bstrVal)));
}

int32_t TAudioMixer::srcVolume()
{
    Variant v;
    get(TarnMixerDispid::srcVolume, VT_I4, v);
    return v.v.lVal;
}

void TAudioMixer::setSrcVolume(int32_t value)
{
    Variant v;
    v.v.vt = VT_I4;
    v.v.lVal = value;
    put(TarnMixerDispid::srcVolume, v);
}
