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

#ifdef _WIN32
#include <guiddef.h>

// TAudioMixer, the component's class.
constexpr CLSID CLSID_TarnMixer = {
    0xE63081B5, 0x5E90, 0x43E2, {0xA2, 0x2D, 0x83, 0x52, 0x5C, 0xB1, 0xDC, 0x42}};
#endif
