#pragma once
// A mixer backend whose devices and lines are plain data the test sets up
// and inspects.
#include <memory>
#include <vector>

#include "Microphones.h"
#include "MixerBackend.h"

struct FakeLine {
    std::wstring name;
    bool valid = true;
    uint16_t volume = 0;
    bool mute = false;
    HRESULT failure = S_OK;  // every volume/mute access fails with it
};

struct FakeDeviceData {
    bool valid = true;
    std::vector<FakeLine> lines;
};

// A microphone; one that is not present is listed by no one.
struct FakeMicrophone {
    std::wstring id;
    bool muted = false;
    bool isDefault = false;
    bool present = true;
};

struct FakeAudio {
    std::vector<FakeDeviceData> devices;
    std::vector<FakeMicrophone> microphones;
    int preferred = 0;
    int opened = 0;  // OpenDevice calls
};

class FakeDevice final : public MixerDevice {
public:
    FakeDevice(std::shared_ptr<FakeAudio> audio, int index)
        : audio_(std::move(audio)), index_(index), snapshot_(audio_->devices[index])
    {
    }
    // What the device showed when it was opened: its lines are read then.
    bool Valid() const override { return snapshot_.valid; }
    int LineCount() const override { return static_cast<int>(snapshot_.lines.size()); }
    bool LineValid(int line) const override { return snapshot_.lines.at(line).valid; }
    std::wstring LineName(int line) const override { return snapshot_.lines.at(line).name; }

    uint16_t Volume(int line) override { return Live(line).volume; }
    void SetVolume(int line, uint16_t value) override { Live(line).volume = value; }
    bool Mute(int line) override { return Live(line).mute; }
    void SetMute(int line, bool value) override { Live(line).mute = value; }

private:
    FakeLine& Live(int line)
    {
        FakeLine& l = audio_->devices.at(index_).lines.at(line);
        if (FAILED(l.failure)) throw MixerError(l.failure, "The fake line failed.");
        return l;
    }

    std::shared_ptr<FakeAudio> audio_;
    int index_;
    FakeDeviceData snapshot_;
};

class FakeCapture final : public CaptureDevices {
public:
    explicit FakeCapture(std::shared_ptr<FakeAudio> audio) : audio_(std::move(audio)) {}
    std::vector<std::wstring> Active() override { return Listed(false); }
    std::vector<std::wstring> Defaults() override { return Listed(true); }
    bool Muted(const std::wstring& id) override { return Find(id).muted; }
    void SetMuted(const std::wstring& id, bool muted) override { Find(id).muted = muted; }

private:
    std::vector<std::wstring> Listed(bool defaultsOnly)
    {
        std::vector<std::wstring> ids;
        for (const FakeMicrophone& m : audio_->microphones)
            if (m.present && (m.isDefault || !defaultsOnly)) ids.push_back(m.id);
        return ids;
    }
    FakeMicrophone& Find(const std::wstring& id)
    {
        for (FakeMicrophone& m : audio_->microphones)
            if (m.id == id && m.present) return m;
        throw MixerError(E_INVALIDARG, "The fake microphone is not there.");
    }
    std::shared_ptr<FakeAudio> audio_;
};

// The microphones' memory, shared by the components given it as processes
// share the user's.
struct FakeMicrophoneStore final : MicrophoneStore {
    explicit FakeMicrophoneStore(std::shared_ptr<MicrophoneMemory> m) : memory(std::move(m)) {}
    MicrophoneMemory Load() override { return *memory; }
    void Save(const MicrophoneMemory& m) override { *memory = m; }
    std::shared_ptr<MicrophoneMemory> memory;
};

class FakeBackend final : public MixerBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeAudio> audio) : audio_(std::move(audio)) {}
    const wchar_t* Name() const override { return L"Fake"; }
    int DeviceCount() override { return static_cast<int>(audio_->devices.size()); }
    int DefaultDevice() override { return audio_->preferred; }
    std::unique_ptr<MixerDevice> OpenDevice(int index) override
    {
        ++audio_->opened;
        return std::make_unique<FakeDevice>(audio_, index);
    }
    std::unique_ptr<CaptureDevices> OpenCapture() override
    {
        return std::make_unique<FakeCapture>(audio_);
    }

private:
    std::shared_ptr<FakeAudio> audio_;
};
