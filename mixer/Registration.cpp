#include "Registration.h"

#include <vector>

#include "TarnMixerIds.h"

namespace {

constexpr const wchar_t* ClassName = L"TAudioMixer";

std::wstring Sub(const std::wstring& key, const wchar_t* name) { return key + L"\\" + name; }
std::wstring ClassKey() { return std::wstring(L"CLSID\\") + TarnMixerClsidText; }
std::wstring ServerKey() { return Sub(ClassKey(), L"InprocServer32"); }

HRESULT FromWin32(LONG error) { return HRESULT_FROM_WIN32(static_cast<DWORD>(error)); }

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    LONG Create(HKEY parent, const std::wstring& path)
    {
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, nullptr, &key_, nullptr);
    }

    LONG Open(HKEY parent, const std::wstring& path)
    {
        return RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE, &key_);
    }

    LONG SetString(const wchar_t* name, const std::wstring& value)
    {
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

    // A short text value, or an empty one where there is none that fits.
    std::wstring GetString(const wchar_t* name) const
    {
        wchar_t text[64] = {};
        DWORD size = sizeof text - sizeof text[0];  // the stored text may lack its end
        DWORD type = REG_NONE;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        return text;
    }

private:
    HKEY key_ = nullptr;
};

struct Entry {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
};

// Every value the registration writes. Each name's CLSID comes first, so
// that a name left half-written is still known as this class's and removed.
std::vector<Entry> Entries(const std::wstring& dllPath)
{
    const std::wstring cls = ClassKey(), current = TarnMixerCurrentProgId,
                       independent = TarnMixerProgId;
    return {
        {cls, nullptr, ClassName},
        {ServerKey(), nullptr, dllPath},
        {ServerKey(), L"ThreadingModel", L"Apartment"},
        {Sub(cls, L"ProgID"), nullptr, current},
        {Sub(cls, L"VersionIndependentProgID"), nullptr, independent},
        {Sub(current, L"CLSID"), nullptr, TarnMixerClsidText},
        {current, nullptr, ClassName},
        {Sub(independent, L"CLSID"), nullptr, TarnMixerClsidText},
        {independent, nullptr, ClassName},
        {Sub(independent, L"CurVer"), nullptr, current},
    };
}

LONG WriteEntries(HKEY root, const std::wstring& dllPath)
{
    for (const Entry& entry : Entries(dllPath)) {
        Key key;
        LONG error = key.Create(root, entry.key);
        if (error == ERROR_SUCCESS) error = key.SetString(entry.name, entry.value);
        if (error != ERROR_SUCCESS) return error;
    }
    return ERROR_SUCCESS;
}

bool Gone(LONG error) { return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND; }

// Subkeys before their parents.
LONG DeleteKeys(HKEY root, std::initializer_list<std::wstring> keys)
{
    for (const std::wstring& key : keys) {
        const LONG error = RegDeleteKeyW(root, key.c_str());
        if (!Gone(error)) return error;
    }
    return ERROR_SUCCESS;
}

bool NamesThisClass(HKEY root, const std::wstring& progId)
{
    Key key;
    return key.Open(root, Sub(progId, L"CLSID")) == ERROR_SUCCESS &&
           lstrcmpiW(key.GetString(nullptr).c_str(), TarnMixerClsidText) == 0;
}

// A name that another class registered since is that class's now.
LONG DeleteProgId(HKEY root, const std::wstring& progId)
{
    if (!NamesThisClass(root, progId)) return ERROR_SUCCESS;
    return DeleteKeys(root, {Sub(progId, L"CurVer"), Sub(progId, L"CLSID"), progId});
}

}  // namespace

HRESULT RegisterClassIn(HKEY classesRoot, const std::wstring& dllPath)
{
    const LONG error = WriteEntries(classesRoot, dllPath);
    if (error == ERROR_SUCCESS) return S_OK;
    UnregisterClassIn(classesRoot);  // leave no half-written entry behind
    return FromWin32(error);
}

HRESULT UnregisterClassIn(HKEY classesRoot)
{
    const std::wstring cls = ClassKey();
    LONG error = DeleteProgId(classesRoot, TarnMixerProgId);
    if (error == ERROR_SUCCESS) error = DeleteProgId(classesRoot, TarnMixerCurrentProgId);
    if (error == ERROR_SUCCESS)
        error = DeleteKeys(classesRoot, {ServerKey(), Sub(cls, L"ProgID"),
                                         Sub(cls, L"VersionIndependentProgID"), cls});
    return FromWin32(error);
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
