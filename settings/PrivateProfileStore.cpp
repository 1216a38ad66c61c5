#include "settings/PrivateProfileStore.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include <windows.h>

PrivateProfileStore::PrivateProfileStore(std::string fileName) : FileName(std::move(fileName)) {}

std::string PrivateProfileStore::ReadString(const std::string& section, const std::string& key,
                                            const std::string& fallback)
{
    // The call cuts a value that does not fit and then reports size - 1:
    // grow until the whole value fits.
    std::vector<char> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                                      buffer.data(), size, FileName.c_str());
        if (length + 1 < size || buffer.size() >= 65536) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

void PrivateProfileStore::WriteString(const std::string& section, const std::string& key,
                                      const std::string& value)
{
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), FileName.c_str())) {
        throw std::runtime_error("cannot write " + key + " to " + FileName);
    }
}

bool FileExists(const std::string& fileName)
{
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
