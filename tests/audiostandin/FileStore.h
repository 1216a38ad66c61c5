#pragma once
// The stand-in's system, kept in one file of the Wine prefix (in its Windows
// folder) that every process reads and writes under one named mutex, so
// that it outlives the process that changed it. A file that is missing or
// unreadable starts as StandinStartState().
#include "AudioObjects.h"
#include "common/Owned.h"

class FileAudioStore final : public AudioStore {
public:
    FileAudioStore();
    HRESULT Access(const std::function<void(AudioSystem&)>& use, bool keep) override;
    unsigned Stamp() override;

private:
    Owned<HANDLE, CloseHandle> mutex_;
    // The number of the last change, in memory every process of the prefix
    // maps; it starts at 0 again once no process holds it, which a watcher
    // takes as a move like any other.
    Owned<HANDLE, CloseHandle> stampMapping_;
    Owned<void*, UnmapViewOfFile> stamp_;
    std::wstring path_;
};
