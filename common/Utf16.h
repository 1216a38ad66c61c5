#pragma once
// Paths travel through the program as UTF-8 and meet Windows as UTF-16 at
// the call: the program's folder may be named in any language, and the "A"
// functions would turn what the ANSI code page lacks into "?".
#include <windows.h>

#include <string>

inline std::wstring Utf16(const std::string& utf8)
{
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

inline std::string Utf8(const std::wstring& wide)
{
    const int size = static_cast<int>(wide.size());
    std::string utf8(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}
