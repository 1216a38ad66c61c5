#include "GlobeVar.h"

#include <windows.h>

#include <iterator>

#include "common/Owned.h"
#include "common/Utf16.h"

std::string AppDir;

namespace {

using Library = Owned<HMODULE, FreeLibrary>;

using ServerEntry = HRESULT(WINAPI*)();

}  // namespace

std::string ExecutablePath()
{
    // A path longer than the buffer comes back cut: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return Utf8(path.substr(0, n));
        path.resize(path.size() * 2);
    }
}

std::string ExecutableDirectory()
{
    std::string full = ExecutablePath();
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::wstring InstanceName(const std::string& path)
{
    std::wstring name = Utf16(path.substr(path.find_last_of("\\/") + 1));
    // File names compare as the file system does: in upper case, whatever
    // the user's language (CharUpper maps "i" to "I" in Turkish too).
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

bool AnotherInstanceRuns(const std::wstring& name)
{
    // The mutex is never closed: it marks this instance until the process ends.
    CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

std::string ShortPath(const std::string& path)
{
    const std::wstring full = Utf16(path);
    std::wstring brief(full.size() + 1, L'\0');
    const DWORD n = GetShortPathNameW(full.c_str(), brief.data(), static_cast<DWORD>(brief.size()));
    return n > 0 && n < brief.size() ? Utf8(brief.substr(0, n)) : path;
}

std::string SystemDirectory()
{
    wchar_t buffer[128] = {};
    const UINT n = GetSystemDirectoryW(buffer, std::size(buffer));
    return n < std::size(buffer) ? Utf8(std::wstring(buffer, n)) : std::string();
}

bool RegisterComponentServer(const std::string& path, bool register_)
{
    Library library(LoadLibraryExW(Utf16(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return false;
    auto entry = reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(
        GetProcAddress(library.get(), register_ ? "DllRegisterServer" : "DllUnregisterServer")));
    return entry && SUCCEEDED(entry());
}
