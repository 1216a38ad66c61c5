#include "TarnMixerLib_TLB.h"

#include <oleauto.h>

namespace {

[[noreturn]] void ThrowInvokeError(HRESULT hr, ExcepInfo& info)
{
    HRESULT code = hr;
    std::string text = InvokeErrorText(hr, info, code);
    throw ComError(code, text);
}

}  // namespace

TAudioMixer::TAudioMixer()
{
    HRESULT hr =
        CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         __uuidof(IDispatch), reinterpret_cast<void**>(dispatch_.GetAddressOf()));
    if (FAILED(hr)) throw ComError(hr, SystemText(hr));
}

TAudioMixer::TAudioMixer(IDispatch* dispatch) : dispatch_(dispatch) {}

TAudioMixer::~TAudioMixer() = default;

void TAudioMixer::get(DISPID id, VARTYPE type, Variant& result)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ExcepInfo error;
    UINT argError = 0;
    Variant raw;
    HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &raw, &error, &argError);
    if (FAILED(hr)) ThrowInvokeError(hr, error);
    hr = VariantChangeType(&result, &raw, 0, type);
    if (FAILED(hr)) throw ComError(hr, SystemText(hr));
}

void TAudioMixer::put(DISPID id, Variant& value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    ExcepInfo error;
    UINT argError = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &error,
                                   &argError);
    if (FAILED(hr)) ThrowInvokeError(hr, error);
}

bool TAudioMixer::getBool(DISPID id)
{
    Variant v;
    get(id, VT_BOOL, v);
    return v.boolVal != 0;
}

int16_t TAudioMixer::getShort(DISPID id)
{
    Variant v;
    get(id, VT_I2, v);
    return v.iVal;
}

void TAudioMixer::putBool(DISPID id, bool value)
{
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    put(id, v);
}

void TAudioMixer::putShort(DISPID id, int16_t value)
{
    Variant v;
    v.vt = VT_I2;
    v.iVal = value;
    put(id, v);
}

bool TAudioMixer::devOutputValid() { return getBool(TarnMixerDispid::devOutputValid); }
bool TAudioMixer::srcOutputValid() { return getBool(TarnMixerDispid::srcOutputValid); }
void TAudioMixer::setTimerInterval(int16_t value)
{
    putShort(TarnMixerDispid::TimerInterval, value);
}
void TAudioMixer::setTimerEnabled(bool value) { putBool(TarnMixerDispid::TimerEnabled, value); }
int16_t TAudioMixer::devOutput() { return getShort(TarnMixerDispid::devOutput); }
void TAudioMixer::setDevOutput(int16_t value) { putShort(TarnMixerDispid::devOutput, value); }
int16_t TAudioMixer::devOutputMax() { return getShort(TarnMixerDispid::devOutputMax); }
void TAudioMixer::setSrcOutput(int16_t value) { putShort(TarnMixerDispid::srcOutput, value); }
int16_t TAudioMixer::srcOutputCount() { return getShort(TarnMixerDispid::srcOutputCount); }
bool TAudioMixer::srcMute() { return getBool(TarnMixerDispid::srcMute); }
bool TAudioMixer::micMute() { return getBool(TarnMixerDispid::micMute); }
void TAudioMixer::setMicMute(bool value) { putBool(TarnMixerDispid::micMute, value); }

bool TAudioMixer::hasMicMute()
{
    wchar_t name[] = L"micMute";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) &&
           id == TarnMixerDispid::micMute;
}
void TAudioMixer::setSrcMute(bool value) { putBool(TarnMixerDispid::srcMute, value); }

std::string TAudioMixer::getText(DISPID id)
{
    Variant v;
    get(id, VT_BSTR, v);
    return Narrow(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal)));
}

int32_t TAudioMixer::getLong(DISPID id)
{
    Variant v;
    get(id, VT_I4, v);
    return v.lVal;
}

void TAudioMixer::putLong(DISPID id, int32_t value)
{
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    put(id, v);
}

std::string TAudioMixer::srcOutputName() { return getText(TarnMixerDispid::srcOutputName); }
int32_t TAudioMixer::srcVolume() { return getLong(TarnMixerDispid::srcVolume); }
void TAudioMixer::setSrcVolume(int32_t value) { putLong(TarnMixerDispid::srcVolume, value); }

void TAudioMixer::setAppProcess(int32_t process) { putLong(TarnMixerDispid::appProcess, process); }
std::string TAudioMixer::appDisplayName() { return getText(TarnMixerDispid::appDisplayName); }
int16_t TAudioMixer::appSessionCount() { return getShort(TarnMixerDispid::appSessionCount); }
int32_t TAudioMixer::appLevel() { return getLong(TarnMixerDispid::appLevel); }
void TAudioMixer::setAppStep(int32_t units) { putLong(TarnMixerDispid::appStep, units); }
bool TAudioMixer::appMute() { return getBool(TarnMixerDispid::appMute); }
void TAudioMixer::setAppMute(bool muted) { putBool(TarnMixerDispid::appMute, muted); }
