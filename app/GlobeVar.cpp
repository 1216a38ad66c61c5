#include "GlobeVar.h"

#include <windows.h>

#include <memory>

std::string AppDir;

namespace {

struct LibraryFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

using ServerEntry = HRESULT(WINAPI*)();

}  // namespace

std::string ExecutablePath()
{
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

std::string ExecutableDirectory()
{
    std::string full = ExecutablePath();
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::string SystemDirectory()
{
    char buffer[128] = {};
    UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
    return n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool RegisterComponentServer(const std::string& path, bool register_)
{
    Library library(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return false;
    auto entry = reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(
        GetProcAddress(library.get(), register_ ? "DllRegisterServer" : "DllUnregisterServer")));
    return entry && SUCCEEDED(entry());
}
