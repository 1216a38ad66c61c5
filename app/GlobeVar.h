#pragma once
// Process-wide values and the mixer component's server registration. Paths
// are UTF-8 (common/Utf16.h turns them into what Windows takes).
#include <string>

// The executable's directory, with a trailing backslash. Set at start.
extern std::string AppDir;

// The running executable's full path.
std::string ExecutablePath();
// Its directory, with a trailing backslash.
std::string ExecutableDirectory();

// The name that marks a running instance: the file name of the executable at
// `path`, without its directory, in one case. Windows finds a file under any
// case ("tarnbell" typed in a console starts Tarnbell.exe), so every case of
// one name is one program; a copy under another name is another.
std::wstring InstanceName(const std::string& path);
// Marks this process as the instance called `name` for as long as it lives;
// true if another process holds that name already. A copy started as
// administrator holds it too, though a normal start may not open its mark.
bool AnotherInstanceRuns(const std::wstring& name);

// The path in its short (8.3) form where the file system keeps one, else as
// given: the help viewer reads its command line as ANSI text, in which a
// folder named outside the code page cannot be written.
std::string ShortPath(const std::string& path);

// The Windows system directory (read into a 128-character buffer).
std::string SystemDirectory();

// Loads the server at `path` and calls its DllRegisterServer (or
// DllUnregisterServer when `register_` is false). True only if the call
// returned a success code.
bool RegisterComponentServer(const std::string& path, bool register_);
