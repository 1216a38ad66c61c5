#include "TarnMixerLib_TLB.h"

#include <oleauto.h>

#include <atomic>
#include <memory>

namespace {

// The client's end of the events: each one is posted, so that the window
// handles it on its own turn, never inside the component's call.
class EventPoster final : public IDispatch {
public:
    EventPoster(HWND window, UINT message) : window_(window), message_(message) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, __uuidof(IUnknown)) && !IsEqualIID(riid, __uuidof(IDispatch)) &&
            !IsEqualIID(riid, DIID_TAudioMixerEvents))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;  // the object owns itself once handed out
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return count ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        PostMessageA(window_, message_, static_cast<WPARAM>(id), 0);
        return S_OK;
    }

private:
    HWND window_;
    UINT message_;
    std::atomic<ULONG> references_{1};
};

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
int16_t TAudioMixer::micCount() { return getShort(TarnMixerDispid::micCount); }

bool TAudioMixer::eventsComplete()
{
    try {
        return getBool(TarnMixerDispid::eventsComplete);
    } catch (const ComError&) {
        return false;
    }
}

TMixerEvents::TMixerEvents(TAudioMixer& mixer, HWND window, UINT message)
{
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = mixer.dispatch_.As(&container);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID_TAudioMixerEvents, &point_);
    if (FAILED(hr)) throw ComError(hr, SystemText(hr));
    Microsoft::WRL::ComPtr<IDispatch> sink(new EventPoster(window, message));
    sink->Release();  // the pointer holds the object's first reference
    hr = point_->Advise(sink.Get(), &cookie_);
    if (FAILED(hr)) throw ComError(hr, SystemText(hr));
}

TMixerEvents::~TMixerEvents() { point_->Unadvise(cookie_); }

void TAudioMixer::setSrcMute(bool value) { putBool(TarnMixerDispid::srcMute, value); }
int16_t TAudioMixer::defaultOutput() { return getShort(TarnMixerDispid::defaultOutput); }
void TAudioMixer::setDefaultOutput(int16_t value)
{
    putShort(TarnMixerDispid::defaultOutput, value);
}

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
