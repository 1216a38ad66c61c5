#include "Registration.h"

#include <iterator>

#include "TarnMixerIds.h"
#include "common/Owned.h"

namespace {

constexpr const wchar_t* ClassName = L"TAudioMixer";

// One value the registration writes: its key's path in up to three parts
// (the rest null), the value's name (null: the default) and its text (null:
// the DLL's path). Parents come before their subkeys.
struct Entry {
    const wchar_t* path[3];
    const wchar_t* name;
    const wchar_t* value;
};

constexpr Entry Entries[] = {
    {{L"CLSID", TarnMixerClsidText}, nullptr, ClassName},
    {{L"CLSID", TarnMixerClsidText, L"InprocServer32"}, nullptr, nullptr},
    {{L"CLSID", TarnMixerClsidText, L"InprocServer32"}, L"ThreadingModel", L"Apartment"},
    {{L"CLSID", TarnMixerClsidText, L"ProgID"}, nullptr, TarnMixerCurrentProgId},
    {{L"CLSID", TarnMixerClsidText, L"VersionIndependentProgID"}, nullptr, TarnMixerProgId},
    {{TarnMixerCurrentProgId}, nullptr, ClassName},
    {{TarnMixerCurrentProgId, L"CLSID"}, nullptr, TarnMixerClsidText},
    {{TarnMixerProgId}, nullptr, ClassName},
    {{TarnMixerProgId, L"CLSID"}, nullptr, TarnMixerClsidText},
    {{TarnMixerProgId, L"CurVer"}, nullptr, TarnMixerCurrentProgId},
};

std::wstring PathOf(const Entry& entry)
{
    std::wstring path = entry.path[0];
    for (int i = 1; i < 3 && entry.path[i]; ++i)
        (path += L'\\') += entry.path[i];
    return path;
}

HRESULT FromWin32(LONG error) { return HRESULT_FROM_WIN32(static_cast<DWORD>(error)); }

class Key {
public:
    LONG Create(HKEY parent, const std::wstring& path)
    {
        HKEY created = nullptr;
        const LONG error =
            RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &created, nullptr);
        key_.reset(created);
        return error;
    }

    LONG Open(HKEY parent, const std::wstring& path)
    {
        HKEY opened = nullptr;
        const LONG error = RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE, &opened);
        key_.reset(opened);
        return error;
    }

    LONG SetString(const wchar_t* name, const wchar_t* value)
    {
        return RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
    }

    // A short text value, or an empty one where there is none that fits.
    std::wstring GetString(const wchar_t* name) const
    {
        wchar_t text[64] = {};
        DWORD size = sizeof text - sizeof text[0];  // the stored text may lack its end
        DWORD type = REG_NONE;
        if (RegQueryValueExW(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        return text;
    }

private:
    Owned<HKEY, RegCloseKey> key_;
};

LONG WriteEntries(HKEY root, const std::wstring& dllPath)
{
    for (const Entry& entry : Entries) {
        Key key;
        LONG error = key.Create(root, PathOf(entry));
        if (error == ERROR_SUCCESS)
            error = key.SetString(entry.name, entry.value ? entry.value : dllPath.c_str());
        if (error != ERROR_SUCCESS) return error;
    }
    return ERROR_SUCCESS;
}

bool Gone(LONG error) { return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND; }

// A name that another class registered since is that class's now.
bool NamesThisClass(HKEY root, const wchar_t* progId)
{
    Key key;
    return key.Open(root, std::wstring(progId) + L"\\CLSID") == ERROR_SUCCESS &&
           lstrcmpiW(key.GetString(nullptr).c_str(), TarnMixerClsidText) == 0;
}

}  // namespace

HRESULT RegisterClassIn(HKEY classesRoot, const std::wstring& dllPath)
{
    const LONG error = WriteEntries(classesRoot, dllPath);
    if (error == ERROR_SUCCESS) return S_OK;
    UnregisterClassIn(classesRoot);  // leave no half-written entry behind
    return FromWin32(error);
}

// Subkeys before their parents: the entries from the last.
HRESULT UnregisterClassIn(HKEY classesRoot)
{
    const bool current = NamesThisClass(classesRoot, TarnMixerCurrentProgId),
               independent = NamesThisClass(classesRoot, TarnMixerProgId);
    for (auto entry = std::rbegin(Entries); entry != std::rend(Entries); ++entry) {
        const wchar_t* top = entry->path[0];
        if ((!current && lstrcmpW(top, TarnMixerCurrentProgId) == 0) ||
            (!independent && lstrcmpW(top, TarnMixerProgId) == 0))
            continue;
        const LONG error = RegDeleteKeyW(classesRoot, PathOf(*entry).c_str());
        if (!Gone(error)) return FromWin32(error);
    }
    return S_OK;
}

HRESULT RegisterServer(const std::wstring& dllPath, std::initializer_list<HKEY> classesRoots)
{
    HRESULT hr = E_ACCESSDENIED;
    for (HKEY root : classesRoots) {
        if (!root) continue;
        hr = RegisterClassIn(root, dllPath);
        if (hr != E_ACCESSDENIED) break;
    }
    return hr;
}

HRESULT UnregisterServer(std::initializer_list<HKEY> classesRoots)
{
    HRESULT result = S_OK;
    for (HKEY root : classesRoots) {
        const HRESULT hr = root ? UnregisterClassIn(root) : S_OK;
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}
