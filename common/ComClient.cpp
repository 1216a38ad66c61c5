#include "common/ComClient.h"

#include <oleauto.h>

ExcepInfo::~ExcepInfo()
{
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
}

std::string Narrow(const wchar_t* text, int length)
{
    if (!text || length == 0) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    if (length < 0 && !result.empty()) result.pop_back();  // the terminating zero
    return result;
}

std::string SystemText(HRESULT hr)
{
    // Wine has no message text for the usual creation failures.
    switch (hr) {
    case REGDB_E_CLASSNOTREG: return "the class is not registered";
    case CO_E_DLLNOTFOUND: return "the registered DLL was not found";
    case E_NOINTERFACE: return "the object does not offer IDispatch";
    }
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer ? buffer : "", length);
    LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) {
        char code[32];
        wsprintfA(code, "error 0x%08lX", static_cast<unsigned long>(hr));
        text = code;
    }
    return text;
}

std::string InvokeErrorText(HRESULT hr, ExcepInfo& info, HRESULT& code)
{
    code = hr;
    if (hr != DISP_E_EXCEPTION) return SystemText(hr);
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    if (info.scode) code = info.scode;
    if (info.bstrDescription && SysStringLen(info.bstrDescription) > 0)
        return Narrow(info.bstrDescription, static_cast<int>(SysStringLen(info.bstrDescription)));
    return SystemText(code);
}
