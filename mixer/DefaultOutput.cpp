// The PolicyConfig class is not in Microsoft's headers or documentation. Its
// layouts below are the ones other tools publish and rely on: each slot
// before SetDefaultEndpoint is a method the component never calls, kept
// only so that SetDefaultEndpoint sits at its place in the table.
#include "DefaultOutput.h"

#include <objbase.h>

#include "CoreAudioBackend.h"

using Microsoft::WRL::ComPtr;

// Outside an unnamed namespace on purpose: there, an interface that no
// class of this file implements lets the compiler conclude that no object
// has it, and it turns every call into a crash.
namespace PolicyConfigLayout {

// Windows 7 to 11: SetDefaultEndpoint is the eleventh method after IUnknown's.
struct PolicyConfig : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Unused1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR id, ERole role) = 0;
};

// Vista: the same but for one method fewer before it (it has no
// ResetDeviceFormat), so SetDefaultEndpoint is the tenth.
struct PolicyConfigVista : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Unused1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR id, ERole role) = 0;
};

}  // namespace PolicyConfigLayout

namespace {

using PolicyConfigLayout::PolicyConfig;
using PolicyConfigLayout::PolicyConfigVista;

const CLSID PolicyConfigClass = {
    0x870AF99C, 0x171D, 0x4F9E, {0xAF, 0x0D, 0xE6, 0x3D, 0xF4, 0x0C, 0x2B, 0xC9}};

const IID PolicyConfigId = {
    0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};
const IID PolicyConfigVistaId = {
    0x568B9108, 0x44BF, 0x40B4, {0x90, 0x06, 0x86, 0xAF, 0xE5, 0xB5, 0xA6, 0x20}};

template <class Interface>
bool Answers(IUnknown* object, const IID& id, ComPtr<Interface>& found)
{
    return object &&
           SUCCEEDED(object->QueryInterface(id, reinterpret_cast<void**>(found.GetAddressOf()))) &&
           found;
}

bool IsDefault(IMMDeviceEnumerator* enumerator, ERole role, const std::wstring& id)
{
    ComPtr<IMMDevice> device;
    return SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, role, &device)) &&
           EndpointId(device.Get()) == id;
}

// Switching the console role alone would leave call programs on the old
// output: every role moves. Each is read just before it is set, as Windows
// may move one with another.
template <class Interface>
void SetEveryRole(IMMDeviceEnumerator* enumerator, Interface* policy, const std::wstring& id)
{
    for (ERole role : {eConsole, eMultimedia, eCommunications})
        if (!IsDefault(enumerator, role, id))
            CheckAudioCall(policy->SetDefaultEndpoint(id.c_str(), role),
                           "Windows did not make this output the default.");
}

}  // namespace

ComPtr<IUnknown> CreatePolicyConfig()
{
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(PolicyConfigClass, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&object))))
        return nullptr;
    return object;
}

void MakeDefaultOutput(IMMDeviceEnumerator* enumerator, IUnknown* policyConfig,
                       const std::wstring& id)
{
    ComPtr<PolicyConfig> current;
    ComPtr<PolicyConfigVista> vista;
    if (Answers(policyConfig, PolicyConfigId, current))
        return SetEveryRole(enumerator, current.Get(), id);
    if (Answers(policyConfig, PolicyConfigVistaId, vista))
        return SetEveryRole(enumerator, vista.Get(), id);
    throw MixerError(E_NOTIMPL, NoDefaultChoiceText);
}

void MixerDevice::SetDefaultLine(int) { throw MixerError(E_NOTIMPL, NoDefaultChoiceText); }
