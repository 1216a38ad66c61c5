#include "ChangeEvents.h"

#include <mmsystem.h>

#include <atomic>
#include <utility>
#include <vector>

#include "ComObject.h"
#include "TarnMixerIds.h"
#include "common/Owned.h"

using Microsoft::WRL::ComPtr;

namespace {

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
        if (sinks_.empty()) {
            const HRESULT hr = Start();
            if (FAILED(hr)) return hr;
        }
        *cookie = ++lastCookie_;
        sinks_.emplace_back(*cookie, events);
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
