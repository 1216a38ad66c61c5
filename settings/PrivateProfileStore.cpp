#include "settings/PrivateProfileStore.h"

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "common/Owned.h"
#include "common/TextError.h"
#include "common/Utf16.h"

namespace {

// The copy a save is written into. Removed again unless it took the file's
// place; CopyFileW carries a read-only attribute over, so that goes first.
class SaveCopy {
public:
    explicit SaveCopy(std::string fileName) : Name(std::move(fileName)) {}
    ~SaveCopy()
    {
        if (Kept) return;
        SetFileAttributesW(Utf16(Name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Utf16(Name).c_str());
    }
    SaveCopy(const SaveCopy&) = delete;
    SaveCopy& operator=(const SaveCopy&) = delete;

    const std::string Name;
    bool Kept = false;
};

void Fail(const std::string& what, const std::string& fileName)
{
    throw TextError("cannot " + what + " " + fileName + " (error " +
                    std::to_string(GetLastError()) + ")");
}

// Starts the copy from the current file; with no file yet, from nothing (a
// copy left by an interrupted save is dropped). CopyFileW keeps the file's
// write time: Wine's profile functions keep the copy from the last save in
// memory and trust it while that time is unchanged, which holds only while
// the file is still what that save wrote.
void StartCopy(const std::string& fileName, const std::string& copyName)
{
    if (CopyFileW(Utf16(fileName).c_str(), Utf16(copyName).c_str(), FALSE)) return;
    if (GetLastError() != ERROR_FILE_NOT_FOUND) Fail("copy", fileName);
    if (!DeleteFileW(Utf16(copyName).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        Fail("remove", copyName);
}

using FileHandle = Owned<HANDLE, CloseHandle>;

// The copy's bytes reach the disk before it replaces the file.
void FlushToDisk(const std::string& fileName)
{
    const HANDLE opened = CreateFileW(Utf16(fileName).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) Fail("open", fileName);
    const FileHandle file(opened);
    if (!FlushFileBuffers(file.get())) Fail("flush", fileName);
}

}  // namespace

PrivateProfileStore::PrivateProfileStore(std::string fileName)
    : FileName(std::move(fileName)), File(Utf16(FileName))
{
}

std::string PrivateProfileStore::ReadString(const std::string& section, const std::string& key,
                                            const std::string& fallback)
{
    // The call cuts a value that does not fit and then reports size - 1:
    // grow until the whole value fits.
    std::wstring buffer(256, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            GetPrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(),
                                     Utf16(fallback).c_str(), buffer.data(), size, File.c_str());
        if (length + 1 < size || buffer.size() >= 65536) return Utf8(buffer.substr(0, length));
        buffer.resize(buffer.size() * 2);
    }
}

void PrivateProfileStore::WriteString(const std::string& section, const std::string& key,
                                      const std::string& value)
{
    if (!WritePrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(),
                                    Utf16(value).c_str(), File.c_str())) {
        throw TextError("cannot write " + key + " to " + FileName);
    }
}

void PrivateProfileStore::WriteAll(const std::vector<IniValue>& values)
{
    SaveCopy copy(FileName + ".tmp");
    StartCopy(FileName, copy.Name);
    PrivateProfileStore copyStore(copy.Name);
    for (const IniValue& v : values)
        copyStore.WriteString(v.Section, v.Key, v.Value);
    FlushToDisk(copy.Name);
    if (!MoveFileExW(Utf16(copy.Name).c_str(), File.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail("replace", FileName);
    copy.Kept = true;
}

bool FileExists(const std::string& fileName)
{
    const DWORD attributes = GetFileAttributesW(Utf16(fileName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void TakeOverInterruptedSave(const std::string& fileName)
{
    const std::string copyName = fileName + ".tmp";
    if (FileExists(fileName) || !FileExists(copyName)) return;
    PrivateProfileStore copy(copyName);
    if (HoldsAllSettings(copy))
        MoveFileExW(Utf16(copyName).c_str(), Utf16(fileName).c_str(), MOVEFILE_WRITE_THROUGH);
}
