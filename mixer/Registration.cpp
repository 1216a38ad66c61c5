#include "Registration.h"

#include "TarnMixerIds.h"

namespace {

std::wstring ClassKey() { return std::wstring(L"CLSID\\") + TarnMixerClsidText; }
std::wstring ServerKey() { return ClassKey() + L"\\InprocServer32"; }

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

    LONG SetString(const wchar_t* name, const std::wstring& value)
    {
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY key_ = nullptr;
};

LONG WriteEntries(HKEY root, const std::wstring& dllPath)
{
    Key cls, server;
    LONG error = cls.Create(root, ClassKey());
    if (error == ERROR_SUCCESS) error = cls.SetString(nullptr, L"TAudioMixer");
    if (error == ERROR_SUCCESS) error = server.Create(root, ServerKey());
    if (error == ERROR_SUCCESS) error = server.SetString(nullptr, dllPath);
    if (error == ERROR_SUCCESS) error = server.SetString(L"ThreadingModel", L"Apartment");
    return error;
}

bool Gone(LONG error) { return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND; }

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
    LONG error = RegDeleteKeyW(classesRoot, ServerKey().c_str());
    if (!Gone(error)) return FromWin32(error);
    error = RegDeleteKeyW(classesRoot, ClassKey().c_str());
    return Gone(error) ? S_OK : FromWin32(error);
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
