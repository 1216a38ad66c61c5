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
void WriteAll(const std::wstring& path, const std::string& bytes)
{
    const std::wstring written = path + L".new";
    {
        Owned<HANDLE, CloseHandle> file(
            CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD done = 0;
        if (file.get() == INVALID_HANDLE_VALUE ||
            !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
            return;
    }
    MoveFileExW(written.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

FileAudioStore::FileAudioStore()
    : mutex_(CreateMutexW(nullptr, FALSE, L"TarnbellAudioStandinState")), path_(StatePath())
{
}

void FileAudioStore::Access(const std::function<void(AudioSystem&)>& use, bool keep)
{
    // An owner that died holding it (WAIT_ABANDONED) left the file whole.
    WaitForSingleObject(mutex_.get(), INFINITE);
    AudioSystem system;
    if (!system.Load(ReadAll(path_))) system = StandinStartState();
    use(system);
    if (keep) WriteAll(path_, system.Save());
    ReleaseMutex(mutex_.get());
}
