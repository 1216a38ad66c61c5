/* Stand-in servers for the registration tests: each reports through a
   file beside it that its entry point ran, so a test can tell a call that
   happened from one that did not. */
#include <windows.h>

static void Mark(const char* what)
{
    char path[MAX_PATH];
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&Mark, &self);
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH - 8);
    lstrcpyA(path + n, ".mark");
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, what, lstrlenA(what), &written, NULL);
        CloseHandle(file);
    }
}

#if defined(REGTEST_ok)
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void)
{
    Mark("register");
    return S_OK;
}
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void)
{
    Mark("unregister");
    return S_FALSE;
}
#elif defined(REGTEST_fail)
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void)
{
    Mark("register");
    return E_ACCESSDENIED;
}
#else
__declspec(dllexport) HRESULT WINAPI Unrelated(void)
{
    Mark("unrelated");
    return S_OK;
}
#endif
