#pragma once
// TarnMixer.dll's contract with everyone who calls it (Tarnbell.exe,
// tarnmixer.exe, scripts): its file name, class id, the DISPIDs of its
// properties and the scale of its volume. Free of Windows types but for the
// class id itself, so that the portable volume logic shares it.
#include <cstdint>

constexpr const char* TarnMixerFileName = "TarnMixer.dll";
constexpr const wchar_t* TarnMixerClsidText = L"{E63081B5-5E90-43E2-A22D-83525CB1DC42}";
// The names script engines create the class by: the version-independent one
// follows the current one (CreateObject, New-Object -ComObject, ComObject()).
constexpr const wchar_t* TarnMixerProgId = L"TarnMixer.AudioMixer";
constexpr const wchar_t* TarnMixerCurrentProgId = L"TarnMixer.AudioMixer.1";

// The line that follows Windows' default output, whichever it is: it is
// never made the default itself.
constexpr const char* DefaultOutputLine = "Default output";

// Full scale of the component's volume, 0..65535; also the slider's range.
constexpr uint16_t FullVolume = 65535;

namespace TarnMixerDispid {
constexpr long devOutputValid = 22;  // VT_BOOL, read
constexpr long srcOutputValid = 23;  // VT_BOOL, read
constexpr long TimerInterval = 26;   // VT_I2, write (accepted, no effect)
constexpr long TimerEnabled = 27;    // VT_BOOL, write (accepted, no effect)
constexpr long devOutput = 28;       // VT_I2, read/write; a write reads the lines afresh
constexpr long devOutputMax = 29;    // VT_I2, read
constexpr long srcOutput = 34;       // VT_I2, write
constexpr long srcOutputCount = 35;  // VT_I2, read
constexpr long srcOutputName = 36;   // VT_BSTR, read
constexpr long srcVolume = 38;       // VT_I4, read/write, 0..FullVolume
constexpr long srcMute = 39;         // VT_BOOL, read/write
constexpr long BackendName = 100;    // VT_BSTR, read: "Core Audio" or "winmm"
constexpr long BackendReason = 101;  // VT_BSTR, read: why the component drives it here
constexpr long micMute = 102;        // VT_BOOL, read/write: every active microphone muted
constexpr long micCount = 103;       // VT_I2, read: the number of active microphones
// VT_I2, read/write: the line that is Windows' default output (-1: none); a
// write makes the line the default for every role.
constexpr long defaultOutput = 104;
// VT_BOOL, read: true where every change made elsewhere, the microphones'
// too, comes as an event; false where a client reads the microphones again.
constexpr long eventsComplete = 120;
// The volume of one program, every audio session of its executable's processes.
constexpr long appProcess = 110;       // VT_I4, read/write: picks the program of this process id
constexpr long appName = 111;          // VT_BSTR, read/write: picks by executable file name
constexpr long appDisplayName = 112;   // VT_BSTR, read: file description, else the name
constexpr long appSessionCount = 113;  // VT_I2, read: its sessions now (0: no sound)
constexpr long appLevel = 114;         // VT_I4, read/write: the loudest; a write sets each
constexpr long appStep = 115;          // VT_I4, write: moves each session by this, clamped
constexpr long appMute = 116;          // VT_BOOL, read/write: read true when none plays unmuted
constexpr long appList = 117;          // VT_BSTR, read: programs with sound, a file name a line
}  // namespace TarnMixerDispid

// The events of TAudioMixerEvents, the component's source dispinterface: each
// says what another program, a key or Windows changed, never what this object
// wrote itself; the client reads the properties afresh. Fired on the thread
// that connected, from its message loop.
namespace TarnMixerEventId {
constexpr long OutputChanged = 1;       // the selected line's srcVolume or srcMute
constexpr long OutputsChanged = 2;      // outputs came or went, or the default moved
constexpr long MicrophonesChanged = 3;  // micMute or micCount
}  // namespace TarnMixerEventId

#ifdef _WIN32
#include <guiddef.h>

// TAudioMixer, the component's class.
constexpr CLSID CLSID_TarnMixer = {
    0xE63081B5, 0x5E90, 0x43E2, {0xA2, 0x2D, 0x83, 0x52, 0x5C, 0xB1, 0xDC, 0x42}};
// TAudioMixerEvents, the events' dispinterface.
constexpr IID DIID_TAudioMixerEvents = {
    0xD9CBA203, 0x2673, 0x4BAB, {0x9F, 0xBD, 0x6A, 0xCB, 0x37, 0xFC, 0x88, 0x8E}};
#endif
