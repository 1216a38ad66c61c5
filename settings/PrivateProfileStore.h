#pragma once
// The settings file on Windows, through the system's private-profile
// functions. They open, read or write, and close the file on every call, so
// nothing is cached here and each save reaches the disk at once. A save of
// several keys goes into a copy of the file beside it, which then takes the
// file's place in one step: a crash or power cut while saving leaves the old
// file or the new one, never a half-written one.
#include "settings/Settings.h"

#include <string>
#include <vector>

class PrivateProfileStore : public IniStore {
public:
    // fileName is a full UTF-8 path, so the current directory never matters;
    // the file's content is what the system's profile functions write.
    explicit PrivateProfileStore(std::string fileName);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override;
    // Throws TextError when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;
    // All or nothing; keeps the file's other sections and comments. Throws
    // TextError, leaving the file as it was and no copy behind.
    void WriteAll(const std::vector<IniValue>& values) override;

private:
    std::string FileName;
    std::wstring File;  // the same, as Windows takes it
};

// True for an existing file, false for a directory or nothing.
bool FileExists(const std::string& fileName);

// A save cut between removing the file and renaming its copy into place (a
// FAT or exFAT drive replaces in those two steps) leaves only the copy. A
// copy that holds every key then becomes the file; any other is left to be
// dropped by the next save.
void TakeOverInterruptedSave(const std::string& fileName);
