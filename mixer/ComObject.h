#pragma once
// Reference counting for the component's COM objects. Every live object, and
// every IClassFactory::LockServer(TRUE), keeps the DLL loaded.
#include <windows.h>
#include <unknwn.h>

#include <wrl/client.h>

#include <atomic>
#include <memory>

namespace ServerLock {
void Lock();
void Unlock();
bool Idle();
}  // namespace ServerLock

template <class Interface>
class ComObject : public Interface {
public:
    ComObject() { ServerLock::Lock(); }
    virtual ~ComObject() { ServerLock::Unlock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;  // the object owns itself once handed out
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

// A new object, its first reference held by the pointer given back. (The
// ComPtr of mingw-w64 adds a reference of its own in Attach, unlike the
// Windows SDK's: the object's own is dropped here.)
template <class Interface, class Object, class... Args>
Microsoft::WRL::ComPtr<Interface> MakeComObject(Args&&... args)
{
    Microsoft::WRL::ComPtr<Interface> result(new Object(std::forward<Args>(args)...));
    result->Release();
    return result;
}
