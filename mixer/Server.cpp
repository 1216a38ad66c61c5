// The DLL's COM entry points: the class factory for TAudioMixer and the
// self-registration.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>
#include <string>

#include "AudioMixer.h"
#include "ComObject.h"
#include "Registration.h"
#include "TarnMixerIds.h"
#include "common/Owned.h"

namespace {

// The factory lives as long as the DLL; references to it do not keep the DLL
// loaded, only LockServer does.
class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IClassFactory))) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            return CreateAudioMixer(CreateMixerBackend(), riid, object);
        } catch (const MixerError& e) {
            return e.hr();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;  // nothing may leave a COM entry point
        }
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ServerLock::Lock();
        else
            ServerLock::Unlock();
        return S_OK;
    }
};

ClassFactory factory;

std::wstring ThisDllPath()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&factory), &self);
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// A classes root opened for writing, or null where this process may not.
class ClassesRoot {
public:
    explicit ClassesRoot(HKEY hive)
    {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(hive, L"Software\\Classes", 0, KEY_READ | KEY_WRITE | DELETE, &opened) ==
            ERROR_SUCCESS)
            key_.reset(opened);
    }
    HKEY get() const { return key_.get(); }

private:
    Owned<HKEY, RegCloseKey> key_;
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_TarnMixer)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return ServerLock::Idle() ? S_OK : S_FALSE; }

// Machine-wide where this process may write it, else for the current user.
STDAPI DllRegisterServer()
{
    const std::wstring path = ThisDllPath();
    if (path.empty()) return SELFREG_E_CLASS;
    ClassesRoot machine(HKEY_LOCAL_MACHINE), user(HKEY_CURRENT_USER);
    return SUCCEEDED(RegisterServer(path, {machine.get(), user.get()})) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer()
{
    ClassesRoot machine(HKEY_LOCAL_MACHINE), user(HKEY_CURRENT_USER);
    return SUCCEEDED(UnregisterServer({machine.get(), user.get()})) ? S_OK : SELFREG_E_CLASS;
}
