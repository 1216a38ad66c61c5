#pragma once
// TAudioMixer: the program's typed view of the mixer component (TarnMixer.dll),
// reached through IDispatch by DISPID.
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>

#include "AppVolumeAction.h"
#include "MixerProperties.h"
#include "common/TextError.h"
#include "common/ComClient.h"

// A failed creation or property access, with the component's own error text.
class ComError : public TextError {
public:
    ComError(HRESULT hr, const std::string& text) : TextError(text), hr_(hr) {}
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_;
};

class TAudioMixer final : public MixerProperties, public AppMixerProperties {
public:
    // Creates the component by its class id (in-process or local server).
    TAudioMixer();
    // Wraps an existing IDispatch (adds its own reference).
    explicit TAudioMixer(IDispatch* dispatch);
    ~TAudioMixer() override;
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    bool devOutputValid() override;
    bool srcOutputValid() override;
    void setTimerInterval(int16_t value) override;
    void setTimerEnabled(bool value) override;
    int16_t devOutput() override;
    void setDevOutput(int16_t value) override;
    int16_t devOutputMax() override;
    void setSrcOutput(int16_t value) override;
    int16_t srcOutputCount() override;
    std::string srcOutputName() override;
    int32_t srcVolume() override;
    void setSrcVolume(int32_t value) override;
    bool srcMute() override;
    void setSrcMute(bool value) override;
    int16_t defaultOutput() override;
    void setDefaultOutput(int16_t value) override;

    // False for a component from before the microphone properties, which
    // has none of them.
    bool hasMicMute();
    // Every microphone muted; fails when there is none.
    bool micMute();
    void setMicMute(bool value);
    int16_t micCount();
    // Whether every change made elsewhere, the microphones' too, comes as an
    // event; false also for a component from before the events.
    bool eventsComplete();

    // One program's volume, picked by a process of it; fails on Windows XP.
    void setAppProcess(int32_t process) override;
    std::string appDisplayName() override;
    int16_t appSessionCount() override;
    int32_t appLevel() override;
    void setAppStep(int32_t units) override;
    bool appMute() override;
    void setAppMute(bool muted) override;

private:
    void get(DISPID id, VARTYPE type, Variant& result);
    void put(DISPID id, Variant& value);
    bool getBool(DISPID id);
    int16_t getShort(DISPID id);
    int32_t getLong(DISPID id);
    std::string getText(DISPID id);
    void putLong(DISPID id, int32_t value);
    void putBool(DISPID id, bool value);
    void putShort(DISPID id, int16_t value);

    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
    friend class TMixerEvents;
};

// The component's events (TAudioMixerEvents), each posted to `window` as
// `message` with the event's id (TarnMixerEventId) in WParam, for as long as
// this object lives. The component fires them on this thread, from its
// message loop; the window handles them after what it is doing now.
class TMixerEvents {
public:
    // Throws ComError where the component has no events (one from before them).
    TMixerEvents(TAudioMixer& mixer, HWND window, UINT message);
    ~TMixerEvents();
    TMixerEvents(const TMixerEvents&) = delete;
    TMixerEvents& operator=(const TMixerEvents&) = delete;

private:
    Microsoft::WRL::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};
