#pragma once
// What callers of the mixer component need: its class id and the DISPIDs of
// its properties.
#include <windows.h>
#include <oaidl.h>

// TAudioMixer {E63081B5-5E90-43E2-A22D-83525CB1DC42}
constexpr CLSID CLSID_TarnMixer = {
    0xE63081B5, 0x5E90, 0x43E2, {0xA2, 0x2D, 0x83, 0x52, 0x5C, 0xB1, 0xDC, 0x42}};
constexpr const wchar_t* TarnMixerClsidText = L"{E63081B5-5E90-43E2-A22D-83525CB1DC42}";

namespace TarnMixerDispid {
constexpr DISPID devOutputValid = 22;   // VT_BOOL, read
constexpr DISPID srcOutputValid = 23;   // VT_BOOL, read
constexpr DISPID TimerInterval = 26;    // VT_I2, write (stored)
constexpr DISPID TimerEnabled = 27;     // VT_BOOL, write (stored)
constexpr DISPID devOutput = 28;        // VT_I2, read/write
constexpr DISPID devOutputMax = 29;     // VT_I2, read
constexpr DISPID srcOutput = 34;        // VT_I2, write
constexpr DISPID srcOutputCount = 35;   // VT_I2, read
constexpr DISPID srcOutputName = 36;    // VT_BSTR, read
constexpr DISPID srcVolume = 38;        // VT_I4, read/write, 0..65535
constexpr DISPID srcMute = 39;          // VT_BOOL, read/write
constexpr DISPID BackendName = 100;     // VT_BSTR, read: "Core Audio" or "winmm"
}  // namespace TarnMixerDispid
