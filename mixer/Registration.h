#pragma once
// The component's registry entries: under a classes root (HKLM\Software\Classes
// or HKCU\Software\Classes),
//   CLSID\{E63081B5-...}                 (default) = "TAudioMixer"
//   CLSID\{E63081B5-...}\InprocServer32  (default) = the DLL's full path
//                                        ThreadingModel = "Apartment"
//   CLSID\{E63081B5-...}\ProgID          (default) = "TarnMixer.AudioMixer.1"
//   CLSID\{E63081B5-...}\VersionIndependentProgID (default) = "TarnMixer.AudioMixer"
//   TarnMixer.AudioMixer.1               (default) = "TAudioMixer"
//   TarnMixer.AudioMixer.1\CLSID         (default) = "{E63081B5-...}"
//   TarnMixer.AudioMixer                 the same, and
//   TarnMixer.AudioMixer\CurVer          (default) = "TarnMixer.AudioMixer.1"
#include <windows.h>

#include <initializer_list>
#include <string>

HRESULT RegisterClassIn(HKEY classesRoot, const std::wstring& dllPath);
// Removes those keys where they exist; a root without them is fine. A name
// that another class has taken over since stays.
HRESULT UnregisterClassIn(HKEY classesRoot);

// Registers under the first root that may be written: a null root (one that
// could not be opened for writing) or one that refuses with access denied is
// skipped.
HRESULT RegisterServer(const std::wstring& dllPath, std::initializer_list<HKEY> classesRoots);
// Unregisters from every root given (null ones skipped).
HRESULT UnregisterServer(std::initializer_list<HKEY> classesRoots);
