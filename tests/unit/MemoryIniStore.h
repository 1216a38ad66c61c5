#pragma once
// An INI file in memory for the settings logic's tests and its fuzz target.
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "settings/Settings.h"

// An INI file in memory that keeps a log of every write, in order.
class MemoryIniStore : public IniStore {
public:
    std::map<std::pair<std::string, std::string>, std::string> Values;
    std::vector<std::string> Writes;  // "Section/Key=Value"
    bool FailWrites = false;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override
    {
        const auto found = Values.find({section, key});
        return found == Values.end() ? fallback : found->second;
    }

    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override
    {
        if (FailWrites) throw std::runtime_error("read-only");
        Values[{section, key}] = value;
        Writes.push_back(section + "/" + key + "=" + value);
    }
};
