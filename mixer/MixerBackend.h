#pragma once
// The audio side of the mixer component, kept behind two small interfaces so
// that the property logic runs against any of them: Core Audio endpoints, the
// winmm mixer, or a fake in the tests.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AppVolume.h"
#include "common/TextError.h"

// A failure the component reports to its caller: the HRESULT goes into
// EXCEPINFO::scode, the text into its description.
class MixerError : public TextError {
public:
    MixerError(HRESULT hr, std::string text) : TextError(std::move(text)), hr_(hr) {}
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_;
};

// One device with its lines, read when the device is selected. Line indexes
// passed in are always within 0..LineCount()-1.
class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual bool Valid() const = 0;
    virtual int LineCount() const = 0;
    virtual bool LineValid(int line) const = 0;
    virtual std::wstring LineName(int line) const = 0;
    // Volume on the component's scale, 0..65535.
    virtual uint16_t Volume(int line) = 0;
    virtual void SetVolume(int line, uint16_t value) = 0;
    virtual bool Mute(int line) = 0;
    virtual void SetMute(int line, bool value) = 0;
    // The line that is the system's default output now; -1 where none is.
    virtual int DefaultLine() { return -1; }
    // Makes the line the system's default output, or fails where no program
    // may choose it (DefaultOutput.h).
    virtual void SetDefaultLine(int line);
};

// The backend's microphones (its active capture devices), each known by an
// id the backend gives it; the list is read afresh at every call.
class CaptureDevices {
public:
    virtual ~CaptureDevices() = default;
    virtual std::vector<std::wstring> Active() = 0;
    // The active ones the system takes by default (for calls and for the
    // rest); none when it names none.
    virtual std::vector<std::wstring> Defaults() = 0;
    virtual bool Muted(const std::wstring& id) = 0;
    virtual void SetMuted(const std::wstring& id, bool muted) = 0;
};

// What the backend tells of a change made outside this object, as bits: the
// client reads the properties afresh.
namespace MixerChange {
constexpr unsigned Output = 1;       // an output's level or mute
constexpr unsigned Outputs = 2;      // outputs came or went, or the default moved
constexpr unsigned Microphones = 4;  // a microphone's mute, or microphones came or went
}  // namespace MixerChange

// Where a backend's watch reports a change. Called on any thread, Windows'
// own included: it only records the change and posts a message to the
// client's thread, and never blocks.
class ChangeTarget {
public:
    virtual ~ChangeTarget() = default;
    virtual void Changed(unsigned changes) = 0;
};

// The backend's registrations for change notifications; they end with it.
class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
    // On the client's thread, after outputs or microphones came or went:
    // registers with the endpoints there are now.
    virtual void Renew() {}
};

class MixerBackend {
public:
    explicit MixerBackend(const wchar_t* reason = L"") : reason_(reason) {}
    virtual ~MixerBackend() = default;
    virtual const wchar_t* Name() const = 0;
    // Why the component drives this backend on this system.
    const wchar_t* Reason() const { return reason_; }
    virtual int DeviceCount() = 0;
    // Index of the system's preferred output device (0 when it has none).
    virtual int DefaultDevice() = 0;
    // Never fails for a device that exists but cannot be used: such a device
    // comes back with Valid() false. index is within 0..DeviceCount()-1.
    virtual std::unique_ptr<MixerDevice> OpenDevice(int index) = 0;
    // The microphones, opened once for the component's object; null where
    // the backend reaches none.
    virtual std::unique_ptr<CaptureDevices> OpenCapture() { return nullptr; }
    // Starts telling `target` of changes made by others; `window` (a
    // message-only window on the client's thread) receives the winmm
    // mixer's change messages. Null where the backend learns of none.
    virtual std::unique_ptr<ChangeWatch> Watch(std::shared_ptr<ChangeTarget> target, HWND window)
    {
        (void)target, (void)window;
        return nullptr;
    }
    // True where every change, the microphones' too, comes to the watch;
    // false where a client still has to read the microphones again.
    virtual bool WatchesEverything() const { return false; }
    // The programs' audio sessions; null where the system has none (winmm).
    virtual std::unique_ptr<AppSessions> OpenSessions() { return nullptr; }

private:
    const wchar_t* reason_;
};

// The backend this system can drive: Core Audio where it exists, unless it
// cannot set an output's volume; else the winmm mixer.
std::unique_ptr<MixerBackend> CreateMixerBackend();
