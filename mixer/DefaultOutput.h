#pragma once
// Making an output Windows' default. Windows documents no way to do it: the
// Sound control panel uses the PolicyConfig class, which answers one
// interface on Windows 7 to 11 and another on Vista; where neither answers
// (Wine, a Windows that changed them), the component says so.
#include <mmdeviceapi.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <string>

// What the component says where Windows lets it choose no default output.
constexpr const char* NoDefaultChoiceText =
    "Windows does not let programs choose the default output here.";

// The PolicyConfig class's object, or null where Windows has none.
Microsoft::WRL::ComPtr<IUnknown> CreatePolicyConfig();

// Makes the render endpoint `id` the default for the console, multimedia and
// communications roles, through `policyConfig` (may be null), leaving alone
// a role where it already is. Throws MixerError: NoDefaultChoiceText where
// the object answers neither interface.
void MakeDefaultOutput(IMMDeviceEnumerator* enumerator, IUnknown* policyConfig,
                       const std::wstring& id);
