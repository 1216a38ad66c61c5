#include "ChangeEvents.h"

#include <mmsystem.h>

#include <atomic>
#include <new>
#include <utility>
#include <vector>

#include "ComObject.h"
#include "TarnMixerIds.h"
#include "common/Owned.h"

using Microsoft::WRL::ComPtr;

namespace {

// The type library built in memory for the class's type information.
constexpr GUID LibraryId = {
    0xC43744D3, 0xFF3E, 0x4AA4, {0x9E, 0x6D, 0x3C, 0x97, 0x4A, 0xE1, 0x61, 0xEB}};

struct EventName {
    DISPID id;
    const wchar_t* name;
};
constexpr EventName EventNames[] = {
    {TarnMixerEventId::OutputChanged, L"OutputChanged"},
    {TarnMixerEventId::OutputsChanged, L"OutputsChanged"},
    {TarnMixerEventId::MicrophonesChanged, L"MicrophonesChanged"},
};

ComPtr<ITypeInfo> DispatchInfo()
{
    ComPtr<ITypeLib> standard;
    ComPtr<ITypeInfo> dispatch;
    if (SUCCEEDED(LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &standard)))
        standard->GetTypeInfoOfGuid(__uuidof(IDispatch), &dispatch);
    return dispatch;
}

// Adds `base` as implemented type `index` of `info`, with `flags`.
HRESULT Implement(ICreateTypeInfo* info, UINT index, ITypeInfo* base, int flags)
{
    HREFTYPE reference = 0;
    HRESULT hr = info->AddRefTypeInfo(base, &reference);
    if (SUCCEEDED(hr)) hr = info->AddImplType(index, reference);
    if (SUCCEEDED(hr) && flags) hr = info->SetImplTypeFlags(index, flags);
    return hr;
}

HRESULT DescribeEvents(ICreateTypeInfo* events, ITypeInfo* dispatch)
{
    HRESULT hr = events->SetGuid(DIID_TAudioMixerEvents);
    if (SUCCEEDED(hr)) hr = Implement(events, 0, dispatch, 0);
    UINT index = 0;
    for (const EventName& event : EventNames) {
        FUNCDESC function{};
        function.memid = event.id;
        function.funckind = FUNC_DISPATCH;
        function.invkind = INVOKE_FUNC;
        function.callconv = CC_STDCALL;
        function.elemdescFunc.tdesc.vt = VT_VOID;
        LPOLESTR name = const_cast<LPOLESTR>(event.name);
        if (SUCCEEDED(hr)) hr = events->AddFuncDesc(index, &function);
        if (SUCCEEDED(hr)) hr = events->SetFuncAndParamNames(index++, &name, 1);
    }
    return SUCCEEDED(hr) ? events->LayOut() : hr;
}

// Posted to the component's window when the backend told a change.
constexpr UINT WM_MIXERCHANGE = WM_APP + 1;
constexpr const wchar_t* WindowClass = L"TarnMixerChanges";

// Collects changes from any thread and posts one message for all that
// arrive before the window handles them.
class ChangePoster final : public ChangeTarget {
public:
    void Changed(unsigned changes) override
    {
        if (pending_.fetch_or(changes) != 0) return;  // a message is on its way
        if (HWND window = window_.load()) PostMessageW(window, WM_MIXERCHANGE, 0, 0);
    }
    unsigned Take() { return pending_.exchange(0); }
    void SetWindow(HWND window) { window_.store(window); }

private:
    std::atomic<HWND> window_{nullptr};
    std::atomic<unsigned> pending_{0};
};

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The class goes with the last window: the DLL may be unloaded afterwards,
// and a class left behind would point at its unloaded procedure.
void DestroyChangeWindow(HWND window)
{
    DestroyWindow(window);
    UnregisterClassW(WindowClass, ThisModule());
}

using ChangeWindow = Owned<HWND, DestroyChangeWindow>;

}  // namespace

class EventPoint final : public ComObject<IConnectionPoint> {
public:
    EventPoint(IConnectionPointContainer& container, ChangeHandler& handler)
        : container_(&container), handler_(&handler)
    {
    }

    // The object is going: every client is let go.
    void Detach()
    {
        if (!sinks_.empty()) Stop();
        sinks_.clear();
        container_ = nullptr;
        handler_ = nullptr;
    }

    void Fire(DISPID event)
    {
        const auto sinks = sinks_;  // a handler may disconnect
        for (const auto& sink : sinks) {
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            sink.second->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                nullptr, nullptr, nullptr);
        }
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid) return E_POINTER;
        *iid = DIID_TAudioMixerEvents;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override
    {
        if (!c) return E_POINTER;
        *c = container_;
        if (!container_) return E_UNEXPECTED;
        container_->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        if (!handler_) return E_UNEXPECTED;
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(DIID_TAudioMixerEvents,
                                        reinterpret_cast<void**>(events.GetAddressOf()))) &&
            FAILED(sink->QueryInterface(__uuidof(IDispatch),
                                        reinterpret_cast<void**>(events.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        try {
            sinks_.reserve(sinks_.size() + 1);  // so that the add below cannot fail
            if (sinks_.empty()) {
                const HRESULT hr = Start();
                if (FAILED(hr)) return hr;
            }
            sinks_.emplace_back(lastCookie_ + 1, events);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;  // nothing may cross into the caller
        }
        *cookie = ++lastCookie_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->first != cookie) continue;
            const ComPtr<IDispatch> going = it->second;  // released after the list is right
            sinks_.erase(it);
            if (sinks_.empty()) Stop();
            return S_OK;
        }
        return CONNECT_E_NOCONNECTION;
    }

    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override
    {
        if (e) *e = nullptr;
        return E_NOTIMPL;
    }

private:
    HRESULT Start()
    {
        const HINSTANCE module = ThisModule();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = module;
        windowClass.lpszClassName = WindowClass;
        RegisterClassW(&windowClass);  // another object's window may have it registered
        window_.reset(CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      module, nullptr));
        if (!window_) return HRESULT_FROM_WIN32(GetLastError());
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        poster_ = std::make_shared<ChangePoster>();
        poster_->SetWindow(window_.get());
        handler_->StartWatching(poster_, window_.get());
        return S_OK;
    }

    void Stop()
    {
        handler_->StopWatching();
        poster_->SetWindow(nullptr);  // a late notification posts nowhere
        poster_.reset();
        window_.reset();
    }

    void Handle(unsigned changes)
    {
        if (changes && handler_) handler_->Handle(changes);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* point = reinterpret_cast<EventPoint*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!point || (message != WM_MIXERCHANGE && message != MM_MIXM_CONTROL_CHANGE &&
                       message != MM_MIXM_LINE_CHANGE))
            return DefWindowProcW(window, message, wParam, lParam);
        const ComPtr<EventPoint> keep(point);  // a client may let the object go meanwhile
        try {
            if (message == WM_MIXERCHANGE)
                point->Handle(point->poster_ ? point->poster_->Take() : 0);
            else  // the winmm mixer's, which names no kind the client would use
                point->Handle(MixerChange::Output | MixerChange::Microphones);
        } catch (...) {
            // A change that cannot be read now is told with the next one.
        }
        return 0;
    }

    IConnectionPointContainer* container_;
    ChangeHandler* handler_;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
    DWORD lastCookie_ = 0;
    std::shared_ptr<ChangePoster> poster_;
    ChangeWindow window_;
};

ChangeEvents::ChangeEvents(IConnectionPointContainer& container, ChangeHandler& handler)
{
    point_ = MakeComObject<EventPoint, EventPoint>(container, handler);
}

ChangeEvents::~ChangeEvents() { point_->Detach(); }

HRESULT ChangeEvents::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, DIID_TAudioMixerEvents)) return CONNECT_E_NOCONNECTION;
    *point = point_.Get();
    point_->AddRef();
    return S_OK;
}

void ChangeEvents::Fire(DISPID event) { point_->Fire(event); }

HRESULT ChangeEvents::ClassInfo(ITypeInfo** info)
{
    if (!info) return E_POINTER;
    *info = nullptr;
    const ComPtr<ITypeInfo> dispatch = DispatchInfo();
    if (!dispatch) return TYPE_E_CANTLOADLIBRARY;
    ComPtr<ICreateTypeLib2> library;
    ComPtr<ICreateTypeInfo> events, mixer;
    ComPtr<ITypeInfo> eventsInfo;
    HRESULT hr = CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32,
                                const_cast<LPOLESTR>(L"TarnMixer.tlb"), &library);
    if (SUCCEEDED(hr)) hr = library->SetGuid(LibraryId);
    if (SUCCEEDED(hr))
        hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"TAudioMixerEvents"), TKIND_DISPATCH,
                                     &events);
    if (SUCCEEDED(hr)) hr = DescribeEvents(events.Get(), dispatch.Get());
    if (SUCCEEDED(hr)) hr = events.As(&eventsInfo);
    if (SUCCEEDED(hr))
        hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"TAudioMixer"), TKIND_COCLASS, &mixer);
    if (SUCCEEDED(hr)) hr = mixer->SetGuid(CLSID_TarnMixer);
    if (SUCCEEDED(hr)) hr = Implement(mixer.Get(), 0, dispatch.Get(), IMPLTYPEFLAG_FDEFAULT);
    if (SUCCEEDED(hr))
        hr = Implement(mixer.Get(), 1, eventsInfo.Get(),
                       IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    if (SUCCEEDED(hr)) hr = mixer->LayOut();
    if (SUCCEEDED(hr)) hr = mixer->QueryInterface(IID_PPV_ARGS(info));
    return hr;
}
