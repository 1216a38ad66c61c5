// The microphones' memory in HKCU\Software\TarnMixer, value MutedMicrophones:
// per user, as Windows keeps a program's state, and shared by every process
// that loads the component. One REG_MULTI_SZ holds all of it, its first
// string saying whether a mute holds the rest ("mute") or an unmute owes them
// ("unmute"): the registry replaces one value's data in one step, so a reader
// or a kill sees the old memory or the new one.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Microphones.h"
#include "common/Owned.h"

namespace {

constexpr const wchar_t* KeyPath = L"Software\\TarnMixer";
constexpr const wchar_t* ValueName = L"MutedMicrophones";
constexpr const wchar_t* Muting = L"mute";
constexpr const wchar_t* Owing = L"unmute";
// One per user session; a holder killed leaves it abandoned, which the next
// wait takes over: the memory is whole at any moment.
constexpr const wchar_t* LockName = L"Local\\TarnMixer.Microphones";
constexpr DWORD LockWait = 5000;

using Key = Owned<HKEY, RegCloseKey>;

std::wstring ReadValue()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return {};
    const Key key(opened);
    DWORD type = 0, size = 0;
    LONG error = RegQueryValueExW(key.get(), ValueName, nullptr, &type, nullptr, &size);
    std::wstring data;
    // Another process may grow it between the two calls: ask again.
    while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        error = RegQueryValueExW(key.get(), ValueName, nullptr, &type,
                                 reinterpret_cast<BYTE*>(&data[0]), &size);
        if (error == ERROR_SUCCESS) {
            data.resize(size / sizeof(wchar_t));
            return type == REG_MULTI_SZ ? data : std::wstring();
        }
    }
    return {};
}

// The strings up to the first empty one; the data need not end in two nulls.
std::vector<std::wstring> Strings(const std::wstring& data)
{
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < data.size();) {
        const size_t end = std::min(data.find(L'\0', at), data.size());
        if (end == at) break;
        strings.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    return strings;
}

class UserMicrophoneStore final : public MicrophoneStore {
public:
    std::shared_ptr<void> Hold() override
    {
        if (!lock_) lock_.reset(CreateMutexW(nullptr, FALSE, LockName));
        const DWORD waited = lock_ ? WaitForSingleObject(lock_.get(), LockWait) : WAIT_FAILED;
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
            throw MixerError(HRESULT_FROM_WIN32(lock_ ? ERROR_TIMEOUT : GetLastError()),
                             "Another program is changing the microphones.");
        return std::shared_ptr<void>(lock_.get(), [](HANDLE lock) { ReleaseMutex(lock); });
    }

    MicrophoneMemory Load() override
    {
        std::vector<std::wstring> strings = Strings(ReadValue());
        if (strings.empty() || (strings[0] != Muting && strings[0] != Owing)) return {};
        return {strings[0] == Muting, {strings.begin() + 1, strings.end()}};
    }

    void Save(const MicrophoneMemory& memory) override
    {
        std::wstring data = memory.muting ? Muting : Owing;
        data += L'\0';
        for (const std::wstring& id : memory.ids)
            data += id + L'\0';
        data += L'\0';
        HKEY created = nullptr;
        LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &created, nullptr);
        const Key key(created);
        if (error == ERROR_SUCCESS)
            error = RegSetValueExW(key.get(), ValueName, 0, REG_MULTI_SZ,
                                   reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
        if (error != ERROR_SUCCESS)
            throw MixerError(HRESULT_FROM_WIN32(error),
                             "The microphones muted could not be remembered.");
    }

private:
    Owned<HANDLE, CloseHandle> lock_;
};

}  // namespace

std::unique_ptr<MicrophoneStore> OpenUserMicrophoneStore()
{
    return std::make_unique<UserMicrophoneStore>();
}
