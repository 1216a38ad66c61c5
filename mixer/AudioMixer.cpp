#include "AudioMixer.h"

#include <new>

#include "ChangeEvents.h"
#include "ComObject.h"
#include "common/ComClient.h"
#include "Microphones.h"
#include "TarnMixerIds.h"
#include "VolumeScale.h"

namespace {

namespace Id = TarnMixerDispid;

struct Property {
    DISPID id;
    const wchar_t* name;
    VARTYPE type;
    bool readable;
    bool writable;
};

constexpr Property Properties[] = {
    {Id::devOutputValid, L"devOutputValid", VT_BOOL, true, false},
    {Id::srcOutputValid, L"srcOutputValid", VT_BOOL, true, false},
    {Id::TimerInterval, L"TimerInterval", VT_I2, false, true},
    {Id::TimerEnabled, L"TimerEnabled", VT_BOOL, false, true},
    {Id::devOutput, L"devOutput", VT_I2, true, true},
    {Id::devOutputMax, L"devOutputMax", VT_I2, true, false},
    {Id::srcOutput, L"srcOutput", VT_I2, false, true},
    {Id::srcOutputCount, L"srcOutputCount", VT_I2, true, false},
    {Id::srcOutputName, L"srcOutputName", VT_BSTR, true, false},
    {Id::srcVolume, L"srcVolume", VT_I4, true, true},
    {Id::srcMute, L"srcMute", VT_BOOL, true, true},
    {Id::BackendName, L"BackendName", VT_BSTR, true, false},
    {Id::BackendReason, L"BackendReason", VT_BSTR, true, false},
    {Id::micMute, L"micMute", VT_BOOL, true, true},
    {Id::micCount, L"micCount", VT_I2, true, false},
    {Id::eventsComplete, L"eventsComplete", VT_BOOL, true, false},
    {Id::defaultOutput, L"defaultOutput", VT_I2, true, true},
    {Id::appProcess, L"appProcess", VT_I4, true, true},
    {Id::appName, L"appName", VT_BSTR, true, true},
    {Id::appDisplayName, L"appDisplayName", VT_BSTR, true, false},
    {Id::appSessionCount, L"appSessionCount", VT_I2, true, false},
    {Id::appLevel, L"appLevel", VT_I4, true, true},
    {Id::appStep, L"appStep", VT_I4, false, true},
    {Id::appMute, L"appMute", VT_BOOL, true, true},
    {Id::appList, L"appList", VT_BSTR, true, false},
};

const Property* FindProperty(DISPID id)
{
    for (const Property& p : Properties)
        if (p.id == id) return &p;
    return nullptr;
}

// COM's rules for the arguments, checked before anything is read through
// them: any caller may break them, and a fault here would take its process
// down.
HRESULT CheckParams(const DISPPARAMS& params)
{
    if (params.cNamedArgs > params.cArgs) return DISP_E_BADPARAMCOUNT;
    if (params.cArgs > 0 && !params.rgvarg) return E_POINTER;
    if (params.cNamedArgs > 0 && !params.rgdispidNamedArgs) return E_POINTER;
    return S_OK;
}

// A by-reference argument must point somewhere, and a VARIANT it points to
// may not refer on to another VARIANT.
HRESULT CheckArgument(const VARIANT& argument)
{
    if (!(V_VT(&argument) & VT_BYREF)) return S_OK;
    if (!V_BYREF(&argument)) return E_POINTER;
    if (V_VT(&argument) != (VT_VARIANT | VT_BYREF)) return S_OK;
    const VARIANT& target = *V_VARIANTREF(&argument);
    if (V_VT(&target) == (VT_VARIANT | VT_BYREF)) return DISP_E_TYPEMISMATCH;
    return CheckArgument(target);
}

// A put's one argument, named DISPID_PROPERTYPUT, as the property's type.
HRESULT PutArgument(const DISPPARAMS& params, VARTYPE type, VARIANT& value)
{
    if (params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
    const HRESULT checked = CheckArgument(params.rgvarg[0]);
    if (FAILED(checked)) return checked;
    const HRESULT hr = VariantChangeType(&value, &params.rgvarg[0], 0, type);
    if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    return S_OK;
}

BSTR ToBstr(const std::string& text)
{
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (result)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result, length);
    return result;
}

void FillException(EXCEPINFO* info, HRESULT hr, const std::string& text)
{
    if (!info) return;
    *info = EXCEPINFO{};
    info->bstrSource = SysAllocString(L"TarnMixer");
    info->bstrDescription = ToBstr(text);
    info->scode = hr;
}

VARIANT Bool(bool value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Short(int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = static_cast<SHORT>(value);
    return v;
}

VARIANT Long(long value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT String(const std::wstring& text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(&v)) throw std::bad_alloc();
    return v;
}

std::string RangeText(const char* what, long value, long last)
{
    const std::string index = std::to_string(value);
    if (last < 0) return std::string("There is no ") + what + " " + index + ": there are none.";
    return std::string("There is no ") + what + " " + index + ": they are 0 to " +
           std::to_string(last) + ".";
}

// A state as a client last saw it or wrote it; -1 where it could not be read.
struct Seen {
    long volume = -1;
    int mute = -1;
    bool operator!=(const Seen& other) const
    {
        return volume != other.volume || mute != other.mute;
    }
};

class AudioMixer final : public ComObject<IDispatch>,
                         public IConnectionPointContainer,
                         public IProvideClassInfo2,
                         private ChangeHandler {
public:
    AudioMixer(std::unique_ptr<MixerBackend> backend, std::unique_ptr<MicrophoneStore> store)
        : backend_(std::move(backend)), microphones_(backend_->OpenCapture(), std::move(store)),
          app_(backend_->OpenSessions()), events_(*this, *this)
    {
        const int count = backend_->DeviceCount();
        if (count > 0) {
            const int preferred = backend_->DefaultDevice();
            SelectDevice(preferred >= 0 && preferred < count ? preferred : 0);
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object && IsEqualIID(riid, __uuidof(IConnectionPointContainer))) {
            *object = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        if (object && (IsEqualIID(riid, __uuidof(IProvideClassInfo)) ||
                       IsEqualIID(riid, __uuidof(IProvideClassInfo2)))) {
            *object = static_cast<IProvideClassInfo2*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject<IDispatch>::QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ComObject<IDispatch>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ComObject<IDispatch>::Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override
    {
        if (points) *points = nullptr;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override
    {
        return events_.FindConnectionPoint(riid, point);
    }

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override
    {
        return ChangeEvents::ClassInfo(info);
    }

    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override
    {
        if (!guid) return E_POINTER;
        *guid = GUID_NULL;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = DIID_TAudioMixerEvents;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override
    {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        if (count == 0) return S_OK;
        // No property takes named arguments: only the member name can be known.
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        for (const Property& p : Properties)
            if (names[0] && lstrcmpiW(names[0], p.name) == 0) ids[0] = p.id;
        if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override
    {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        const Property* property = FindProperty(id);
        if (!property) return DISP_E_MEMBERNOTFOUND;
        if (!params) return E_POINTER;
        const HRESULT checked = CheckParams(*params);
        if (FAILED(checked)) return checked;
        try {
            if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
                return InvokePut(*property, *params, argError);
            if (flags & DISPATCH_PROPERTYGET) return InvokeGet(*property, *params, result);
            return DISP_E_MEMBERNOTFOUND;
        } catch (const MixerError& e) {
            FillException(exception, e.hr(), e.what());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& e) {
            FillException(exception, E_FAIL, e.what());
        }
        return DISP_E_EXCEPTION;
    }

private:
    HRESULT InvokeGet(const Property& property, const DISPPARAMS& params, VARIANT* result)
    {
        if (!property.readable) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
        VARIANT value = Get(property.id);
        if (result)
            *result = value;
        else
            VariantClear(&value);
        return S_OK;
    }

    HRESULT InvokePut(const Property& property, const DISPPARAMS& params, UINT* argError)
    {
        if (!property.writable) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params.cNamedArgs != 1) return DISP_E_PARAMNOTOPTIONAL;
        Variant value;
        const HRESULT hr = PutArgument(params, property.type, value);
        if (FAILED(hr)) {
            if (argError) *argError = 0;
            return hr;
        }
        Put(property.id, value);
        return S_OK;
    }

    VARIANT Get(DISPID id)
    {
        switch (id) {
        case Id::devOutputValid: return Bool(device_ && device_->Valid());
        case Id::srcOutputValid: return Bool(LineCount() > 0 && device_->LineValid(line_));
        case Id::devOutput: return Short(deviceIndex_);
        case Id::devOutputMax: return Short(backend_->DeviceCount() - 1);
        case Id::srcOutputCount: return Short(LineCount());
        case Id::BackendName: return String(backend_->Name());
        case Id::BackendReason: return String(backend_->Reason());
        case Id::micMute: return Bool(microphones_.Muted());
        case Id::micCount: return Short(microphones_.Count());
        case Id::eventsComplete: return Bool(backend_->WatchesEverything());
        case Id::defaultOutput: return Short(device_ ? device_->DefaultLine() : -1);
        case Id::appProcess: return Long(static_cast<long>(app_.Process()));
        case Id::appName: return String(app_.Name());
        case Id::appDisplayName: return String(app_.DisplayName());
        case Id::appSessionCount: return Short(app_.SessionCount());
        case Id::appLevel: return Long(app_.Level());
        case Id::appMute: return Bool(app_.Muted());
        case Id::appList: return String(app_.Programs());
        }
        // The rest are the selected line's.
        const LineRef selected = Selected();
        switch (id) {
        case Id::srcOutputName: return String(selected.device.LineName(selected.line));
        case Id::srcVolume: return Long(selected.device.Volume(selected.line));
        case Id::srcMute: return Bool(selected.device.Mute(selected.line));
        }
        return VARIANT{};
    }

    void Put(DISPID id, const VARIANT& value)
    {
        switch (id) {
        // Accepted as the contract says; the component reads the system
        // on each get and runs no timer, so the values are not kept.
        case Id::TimerInterval:
        case Id::TimerEnabled: break;
        case Id::devOutput: SelectDevice(V_I2(&value)); break;
        case Id::srcOutput: SelectLine(V_I2(&value)); break;
        case Id::srcVolume: SetVolume(V_I4(&value)); break;
        case Id::srcMute: SetMute(V_BOOL(&value) != VARIANT_FALSE); break;
        case Id::micMute: microphones_.SetMuted(V_BOOL(&value) != VARIANT_FALSE); break;
        case Id::defaultOutput: SetDefaultLine(V_I2(&value)); break;
        case Id::appProcess: app_.PickProcess(static_cast<uint32_t>(V_I4(&value))); break;
        case Id::appName: app_.PickName(V_BSTR(&value) ? V_BSTR(&value) : L""); break;
        case Id::appLevel: app_.SetLevel(VolumeInRange(V_I4(&value))); break;
        case Id::appStep: app_.Step(V_I4(&value)); break;
        case Id::appMute: app_.SetMuted(V_BOOL(&value) != VARIANT_FALSE); break;
        }
        // What this object wrote or selected is no change to tell of.
        if (!watch_) return;
        if (id == Id::micMute)
            seenMicrophones_ = ReadMicrophones();
        else
            seenOutput_ = ReadOutput();
    }

    void StartWatching(std::shared_ptr<ChangeTarget> target, HWND window) override
    {
        watch_ = backend_->Watch(std::move(target), window);
        seenOutput_ = ReadOutput();
        seenMicrophones_ = ReadMicrophones();
    }

    void StopWatching() override { watch_.reset(); }

    // Fires an event for each change that shows in what the client reads:
    // a notification of this object's own write is none.
    void Handle(unsigned changes) override
    {
        const Microsoft::WRL::ComPtr<IDispatch> keep(this);  // a client may let it go
        if (changes & MixerChange::Outputs) {
            if (watch_) watch_->Renew();
            events_.Fire(TarnMixerEventId::OutputsChanged);
        }
        if (changes & MixerChange::Output) {
            const Seen now = ReadOutput();
            if (now != seenOutput_) {
                seenOutput_ = now;
                events_.Fire(TarnMixerEventId::OutputChanged);
            }
        }
        if (changes & MixerChange::Microphones) {
            const int now = ReadMicrophones();
            if (now != seenMicrophones_) {
                seenMicrophones_ = now;
                events_.Fire(TarnMixerEventId::MicrophonesChanged);
            }
        }
    }

    Seen ReadOutput()
    {
        Seen seen;
        try {
            const LineRef selected = Selected();
            seen.volume = selected.device.Volume(selected.line);
            seen.mute = selected.device.Mute(selected.line) ? 1 : 0;
        } catch (const MixerError&) {
        }
        return seen;
    }

    // The microphones' number and whether all are muted, in one value, so
    // that one coming or going is a change as well; -1 where none is read.
    int ReadMicrophones()
    {
        try {
            const int count = microphones_.Count();
            return count == 0 ? 0 : (count + 1) * 2 + (microphones_.Muted() ? 1 : 0);
        } catch (const MixerError&) {
            return -1;
        }
    }

    void SelectDevice(int index)
    {
        const int count = backend_->DeviceCount();
        if (index < 0 || index >= count)
            throw MixerError(DISP_E_BADINDEX, RangeText("device", index, count - 1));
        device_ = backend_->OpenDevice(index);
        deviceIndex_ = index;
        line_ = 0;
    }

    void SelectLine(int index)
    {
        const int count = LineCount();
        if (index < 0 || index >= count)
            throw MixerError(DISP_E_BADINDEX, RangeText("line", index, count - 1));
        line_ = index;
    }

    void SetDefaultLine(int index)
    {
        const int count = LineCount();
        if (index < 0 || index >= count)
            throw MixerError(DISP_E_BADINDEX, RangeText("line", index, count - 1));
        device_->SetDefaultLine(index);
    }

    static uint16_t VolumeInRange(long value)
    {
        if (value < 0 || value > FullVolume)
            throw MixerError(E_INVALIDARG,
                             "The volume " + std::to_string(value) + " is outside 0 to 65535.");
        return static_cast<uint16_t>(value);
    }

    void SetVolume(long value)
    {
        const uint16_t volume = VolumeInRange(value);
        const LineRef selected = Selected();
        selected.device.SetVolume(selected.line, volume);
    }

    void SetMute(bool value)
    {
        const LineRef selected = Selected();
        selected.device.SetMute(selected.line, value);
    }

    int LineCount() const { return device_ ? device_->LineCount() : 0; }

    struct LineRef {
        MixerDevice& device;
        int line;
    };

    // The selected line, or an error when there is none.
    LineRef Selected() const
    {
        if (!device_) throw MixerError(DISP_E_BADINDEX, "No device is selected.");
        if (line_ >= LineCount())
            throw MixerError(DISP_E_BADINDEX, "No line is selected: the device has no lines.");
        return {*device_, line_};
    }

    std::unique_ptr<MixerBackend> backend_;
    MicrophoneMute microphones_;
    AppVolume app_;
    std::unique_ptr<MixerDevice> device_;
    int deviceIndex_ = -1;
    int line_ = 0;
    std::unique_ptr<ChangeWatch> watch_;  // while a client is connected
    Seen seenOutput_;
    int seenMicrophones_ = -1;
    ChangeEvents events_;  // last: it stops the watch before the rest goes
};

}  // namespace

HRESULT CreateAudioMixer(std::unique_ptr<MixerBackend> backend, REFIID riid, void** object,
                         std::unique_ptr<MicrophoneStore> store)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!backend || !store) return E_INVALIDARG;
    try {
        auto mixer = std::make_unique<AudioMixer>(std::move(backend), std::move(store));
        // The object holds its first reference; QueryInterface adds the
        // caller's, Release drops the first (deleting it if QI failed).
        AudioMixer* created = mixer.release();
        const HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    } catch (const MixerError& e) {
        return e.hr();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
