// The built TarnMixer.dll's entry points: class factory, object and lock
// counting, and self-registration into the (Wine) registry.
#include <gtest/gtest.h>

#include <string>

#include "DispatchHelpers.h"
#include "TarnMixerIds.h"

using Microsoft::WRL::ComPtr;

namespace {

using ServerEntry = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

std::wstring BesideThisProgram(const wchar_t* file)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path);
    return result.substr(0, result.find_last_of(L'\\') + 1) + file;
}

std::wstring RegistryText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return buffer;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dll_ = LoadLibraryW(BesideThisProgram(L"TarnMixer.dll").c_str());
        ASSERT_NE(nullptr, dll_);
        getClassObject_ = Entry<GetClassObjectEntry>("DllGetClassObject");
        canUnloadNow_ = Entry<ServerEntry>("DllCanUnloadNow");
        registerServer_ = Entry<ServerEntry>("DllRegisterServer");
        unregisterServer_ = Entry<ServerEntry>("DllUnregisterServer");
    }
    void TearDown() override
    {
        if (dll_) FreeLibrary(dll_);
    }

    // Exported under their plain names, as COM and regsvr32 look them up.
    template <class Function>
    Function Entry(const char* name)
    {
        auto entry =
            reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
        EXPECT_NE(nullptr, entry) << name;
        return entry;
    }

    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject_(CLSID_TarnMixer, IID_IClassFactory,
                                        reinterpret_cast<void**>(factory.GetAddressOf())));
        return factory;
    }

    ComApartment apartment_;
    HMODULE dll_ = nullptr;
    GetClassObjectEntry getClassObject_ = nullptr;
    ServerEntry canUnloadNow_ = nullptr;
    ServerEntry registerServer_ = nullptr;
    ServerEntry unregisterServer_ = nullptr;
};

TEST_F(ServerTest, ServesOnlyItsOwnClass)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              getClassObject_(IID_IDispatch, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_NE(nullptr, factory.Get());
    ComPtr<IDispatch> dispatch;
    ComPtr<IUnknown> outer = factory;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(outer.Get(), IID_IDispatch,
                                      reinterpret_cast<void**>(dispatch.GetAddressOf())));
    EXPECT_EQ(nullptr, dispatch.Get());
}

TEST_F(ServerTest, StaysLoadedWhileObjectsOrLocksRemain)
{
    EXPECT_EQ(S_OK, canUnloadNow_());
    ComPtr<IClassFactory> factory = Factory();
    EXPECT_EQ(S_OK, canUnloadNow_());  // holding the factory alone does not
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch,
                                            reinterpret_cast<void**>(first.GetAddressOf())));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch,
                                            reinterpret_cast<void**>(second.GetAddressOf())));
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(S_FALSE, canUnloadNow_());
    ComPtr<IUnknown> extra = first;  // one more reference to the same object
    first.Reset();
    second.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow_());
    extra.Reset();
    EXPECT_EQ(S_OK, canUnloadNow_());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, canUnloadNow_());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, canUnloadNow_());
}

// Wine's Core Audio cannot set the endpoint volume, so the object the DLL
// creates there drives the winmm mixer.
TEST_F(ServerTest, CreatedObjectUsesTheBackendThisSystemCanDrive)
{
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, Factory()->CreateInstance(nullptr, IID_IDispatch,
                                              reinterpret_cast<void**>(dispatch.GetAddressOf())));
    EXPECT_EQ(L"winmm", Dispatcher(dispatch.Get()).GetString(TarnMixerDispid::BackendName));
}

TEST_F(ServerTest, RegistersItsOwnPathMachineWideAndUnregistersIt)
{
    const std::wstring classKey = std::wstring(L"Software\\Classes\\CLSID\\") + TarnMixerClsidText;
    const std::wstring serverKey = classKey + L"\\InprocServer32";
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(dll_, loaded, MAX_PATH);

    ASSERT_EQ(S_OK, registerServer_());
    ASSERT_EQ(S_OK, registerServer_());  // harmless twice
    EXPECT_EQ(std::wstring(loaded), RegistryText(HKEY_LOCAL_MACHINE, serverKey, nullptr));
    EXPECT_EQ(L"Apartment", RegistryText(HKEY_LOCAL_MACHINE, serverKey, L"ThreadingModel"));
    EXPECT_EQ(L"<none>", RegistryText(HKEY_CURRENT_USER, serverKey, nullptr));

    ComPtr<IDispatch> created;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&created)));
    created.Reset();

    ASSERT_EQ(S_OK, unregisterServer_());
    EXPECT_EQ(L"<none>", RegistryText(HKEY_LOCAL_MACHINE, classKey, nullptr));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_PPV_ARGS(&created)));
    EXPECT_EQ(S_OK, unregisterServer_());
}

}  // namespace
