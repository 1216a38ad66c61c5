#include "FileStore.h"

namespace {

std::wstring StatePath()
{
    wchar_t folder[MAX_PATH] = L"C:\\windows";
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\audiostandin.state";
}

std::string ReadAll(const std::wstring& path)
{
    Owned<HANDLE, CloseHandle> file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    if (bytes.empty() ||
        !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

// Written beside and moved over the old file: a process killed meanwhile
// leaves the old state whole.
HRESULT WriteAll(const std::wstring& path, const std::string& bytes)
{
    const std::wstring written = path + L".new";
    {
        Owned<HANDLE, CloseHandle> file(
            CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD done = 0;
        if (file.get() == INVALID_HANDLE_VALUE ||
            !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
            return HRESULT_FROM_WIN32(GetLastError());
    }
    return MoveFileExW(written.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)
               ? S_OK
               : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

FileAudioStore::FileAudioStore()
    : mutex_(CreateMutexW(nullptr, FALSE, L"TarnbellAudioStandinState")),
      stampMapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(LONG), L"TarnbellAudioStandinStamp")),
      stamp_(stampMapping_ ? MapViewOfFile(stampMapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(LONG))
                           : nullptr),
      path_(StatePath())
{
}

unsigned FileAudioStore::Stamp()
{
    static LONG unmapped = 0;  // no shared stamp: every look reads the file
    auto stamp = static_cast<volatile LONG*>(stamp_.get());
    return static_cast<unsigned>(stamp ? InterlockedCompareExchange(stamp, 0, 0) : ++unmapped);
}

HRESULT FileAudioStore::Access(const std::function<void(AudioSystem&)>& use, bool keep)
{
    // An owner that died holding it (WAIT_ABANDONED) left the file whole.
    WaitForSingleObject(mutex_.get(), INFINITE);
    AudioSystem system;
    if (!system.Load(ReadAll(path_))) system = StandinStartState();
    use(system);
    const HRESULT kept = keep ? WriteAll(path_, system.Save()) : S_OK;
    if (SUCCEEDED(kept) && keep && stamp_)
        InterlockedExchange(static_cast<volatile LONG*>(stamp_.get()),
                            static_cast<LONG>(system.changes));
    ReleaseMutex(mutex_.get());
    return kept;
}
