#pragma once
// The settings file on Windows, through the system's private-profile
// functions. They open, read or write, and close the file on every call, so
// nothing is cached here and each save reaches the disk at once.
#include "settings/Settings.h"

#include <string>

class PrivateProfileStore : public IniStore {
public:
    // fileName is a full path, so the current directory never matters.
    explicit PrivateProfileStore(std::string fileName);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override;
    // Throws std::runtime_error when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    std::string FileName;
};

// True for an existing file, false for a directory or nothing.
bool FileExists(const std::string& fileName);
