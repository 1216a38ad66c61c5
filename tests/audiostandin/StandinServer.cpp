// audiostandin.dll: the classes of Windows' audio that the stand-in's
// prefix registers in place of Wine's own, the MMDeviceEnumerator and the
// PolicyConfig class, all over the one file of FileAudioStore.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

#include "AudioObjects.h"
#include "FileStore.h"

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<long> serverLocks{0};

// This process's hold on the system. Never destroyed: its thread may still
// be calling a client when the process ends.
const std::shared_ptr<AudioProcess>& ThisProcess()
{
    static const auto* process = new std::shared_ptr<AudioProcess>(
        std::make_shared<AudioProcess>(std::make_unique<FileAudioStore>(), true));
    return *process;
}

class Factory final : public IClassFactory {
public:
    explicit Factory(const CLSID& type) : type_(type) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        if (!IsEqualIID(iid, __uuidof(IUnknown)) && !IsEqualIID(iid, __uuidof(IClassFactory))) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static objects
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (IsEqualCLSID(type_, AudioEnumeratorClass))
            return MakeAudioEnumerator(ThisProcess())->QueryInterface(iid, object);
        return MakePolicyConfig(ThisProcess())->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }

private:
    const CLSID& type_;
};

Factory enumeratorFactory(AudioEnumeratorClass), policyConfigFactory(PolicyConfigClass);

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID type, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualCLSID(type, AudioEnumeratorClass))
        return enumeratorFactory.QueryInterface(iid, object);
    if (IsEqualCLSID(type, PolicyConfigClass))
        return policyConfigFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return LiveAudioObjects() == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
