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
    void Access(const std::function<void(AudioSystem&)>& use, bool keep) override;

private:
    Owned<HANDLE, CloseHandle> mutex_;
    std::wstring path_;
};
