#pragma once
// How the component tells its clients of changes made elsewhere: the
// connection point of its event dispinterface, TAudioMixerEvents. While a
// client is connected, the backend's notifications (which come on any
// thread) are posted to a message-only window on the thread that connected,
// and the events are fired there, from its message loop.
#include <olectl.h>
#include <wrl/client.h>

#include "MixerBackend.h"

// The component's object, as the connection point drives it on the
// connected client's thread.
class ChangeHandler {
public:
    virtual ~ChangeHandler() = default;
    // The first client connected: tell `target` of changes; `window` takes
    // the winmm mixer's messages.
    virtual void StartWatching(std::shared_ptr<ChangeTarget> target, HWND window) = 0;
    // The last client went.
    virtual void StopWatching() = 0;
    // The changes told since the last call (MixerChange bits).
    virtual void Handle(unsigned changes) = 0;
};

class EventPoint;

class ChangeEvents {
public:
    ChangeEvents(IConnectionPointContainer& container, ChangeHandler& handler);
    ~ChangeEvents();
    ChangeEvents(const ChangeEvents&) = delete;
    ChangeEvents& operator=(const ChangeEvents&) = delete;

    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point);
    // The class's type information with its events by name, which script
    // hosts read to connect a handler (IProvideClassInfo).
    static HRESULT ClassInfo(ITypeInfo** info);
    // Calls every connected client's handler of `event` (TarnMixerEventId).
    void Fire(DISPID event);

private:
    Microsoft::WRL::ComPtr<EventPoint> point_;
};
