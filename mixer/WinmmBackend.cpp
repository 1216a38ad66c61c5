#include "WinmmBackend.h"

#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "VolumeScale.h"
#include "common/Owned.h"

namespace {

// From the driver kit's mmddk.h, which mingw does not ship: asks the wave
// mapper for the preferred device.
constexpr UINT PreferredDeviceQuery = 0x2000 + 21;  // DRVM_MAPPER_PREFERRED_GET
// ... and the device for calls (DRVM_MAPPER_CONSOLEVOICECOM_GET).
constexpr UINT CommunicationsDeviceQuery = 0x2000 + 23;

void Check(MMRESULT result, const char* what)
{
    if (result != MMSYSERR_NOERROR)
        throw MixerError(MmResultToHresult(result),
                         std::string(what) + " (winmm error " + std::to_string(result) + ").");
}

struct Control {
    bool present = false;
    DWORD id = 0;
    DWORD channels = 1;
    DWORD minimum = 0;
    DWORD maximum = 0;
};

Control FindControl(HMIXEROBJ mixer, const MIXERLINEW& line, DWORD type)
{
    MIXERCONTROLW control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof query;
    query.dwLineID = line.dwLineID;
    query.dwControlType = type;
    query.cControls = 1;
    query.cbmxctrl = sizeof control;
    query.pamxctrl = &control;
    Control found;
    if (mixerGetLineControlsW(mixer, &query,
                              MIXER_OBJECTF_MIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return found;
    found.present = true;
    found.id = control.dwControlID;
    const bool uniform = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) != 0;
    found.channels = (uniform || line.cChannels == 0) ? 1 : line.cChannels;
    found.minimum = control.Bounds.dwMinimum;
    found.maximum = control.Bounds.dwMaximum;
    return found;
}

template <class Value>
MMRESULT Details(HMIXEROBJ mixer, const Control& c, std::vector<Value>& channels, bool read)
{
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = c.id;
    details.cChannels = c.channels;
    details.cbDetails = sizeof(Value);
    details.paDetails = channels.data();
    return read ? mixerGetControlDetailsW(mixer, &details,
                                          MIXER_OBJECTF_MIXER | MIXER_GETCONTROLDETAILSF_VALUE)
                : mixerSetControlDetails(mixer, &details,
                                         MIXER_OBJECTF_MIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

// A mute control's state: muted when any of its channels is.
bool ReadMute(HMIXEROBJ mixer, const Control& c, const char* what)
{
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> channels(c.channels);
    Check(Details(mixer, c, channels, true), what);
    return std::any_of(channels.begin(), channels.end(),
                       [](const MIXERCONTROLDETAILS_BOOLEAN& b) { return b.fValue != 0; });
}

void WriteMute(HMIXEROBJ mixer, const Control& c, bool value, const char* what)
{
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> channels(c.channels);
    for (auto& channel : channels)
        channel.fValue = value ? 1 : 0;
    Check(Details(mixer, c, channels, false), what);
}

HMIXEROBJ MixerObject(UINT id) { return reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(id)); }

// The mixer that belongs to the preferred wave output device; -1 where none does.
int PreferredMixer()
{
    DWORD waveOut = 0, flags = 0;
    if (waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)),
                       PreferredDeviceQuery, reinterpret_cast<DWORD_PTR>(&waveOut),
                       reinterpret_cast<DWORD_PTR>(&flags)) != MMSYSERR_NOERROR)
        waveOut = 0;
    UINT mixer = 0;
    if (mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(waveOut)), &mixer,
                   MIXER_OBJECTF_WAVEOUT) != MMSYSERR_NOERROR)
        return -1;
    return static_cast<int>(mixer);
}

struct Line {
    std::wstring name;
    Control volume;
    Control mute;
};

class WinmmDevice final : public MixerDevice {
public:
    WinmmDevice(UINT id, std::vector<VolumeMemo>& memos)
        : id_(static_cast<int>(id)), mixer_(MixerObject(id)), memos_(memos)
    {
        ReadLines();
        if (memos_.size() < lines_.size()) memos_.resize(lines_.size());
    }

    bool Valid() const override { return !lines_.empty() && lines_.front().volume.present; }
    int LineCount() const override { return static_cast<int>(lines_.size()); }
    bool LineValid(int line) const override { return lines_[line].volume.present; }
    std::wstring LineName(int line) const override { return lines_[line].name; }

    uint16_t Volume(int line) override
    {
        Line& l = lines_[line];
        const DWORD value = ReadVolume(VolumeControl(l));
        return memos_[line].Read(value,
                                 VolumeFromControl(value, l.volume.minimum, l.volume.maximum));
    }

    void SetVolume(int line, uint16_t value) override
    {
        Line& l = lines_[line];
        const Control& c = VolumeControl(l);
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> channels(c.channels);
        for (auto& channel : channels)
            channel.dwValue = VolumeToControl(value, c.minimum, c.maximum);
        Check(Details(mixer_, c, channels, false), "Setting the line volume failed");
        const DWORD kept = ReadVolume(c);
        memos_[line].Wrote(value, kept, VolumeFromControl(kept, c.minimum, c.maximum),
                           ControlStep(c.minimum, c.maximum));
    }

    bool Mute(int line) override
    {
        const Control& c = lines_[line].mute;
        if (!c.present) return false;
        return ReadMute(mixer_, c, "Reading the line's mute state failed");
    }

    void SetMute(int line, bool value) override
    {
        const Control& c = lines_[line].mute;
        if (!c.present) throw MixerError(E_NOTIMPL, "The selected line has no mute control.");
        WriteMute(mixer_, c, value, "Setting the line's mute state failed");
    }

    // The preferred output device is the default output; its speakers
    // destination, line 0, is its whole output. Windows XP lets no program
    // choose it in a documented way: SetDefaultLine keeps the refusal.
    int DefaultLine() override { return Valid() && PreferredMixer() == id_ ? 0 : -1; }

private:
    // The speakers destination, then its source lines.
    void ReadLines()
    {
        MIXERLINEW speakers{};
        speakers.cbStruct = sizeof speakers;
        speakers.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        if (GetLine(speakers, MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR) return;
        AddLine(speakers);
        for (DWORD s = 0; s < speakers.cConnections; ++s) {
            MIXERLINEW source{};
            source.cbStruct = sizeof source;
            source.dwDestination = speakers.dwDestination;
            source.dwSource = s;
            if (GetLine(source, MIXER_GETLINEINFOF_SOURCE) == MMSYSERR_NOERROR) AddLine(source);
        }
    }

    MMRESULT GetLine(MIXERLINEW& line, DWORD how)
    {
        return mixerGetLineInfoW(mixer_, &line, MIXER_OBJECTF_MIXER | how);
    }

    void AddLine(const MIXERLINEW& info)
    {
        Line line;
        line.name = info.szName;
        line.volume = FindControl(mixer_, info, MIXERCONTROL_CONTROLTYPE_VOLUME);
        line.mute = FindControl(mixer_, info, MIXERCONTROL_CONTROLTYPE_MUTE);
        lines_.push_back(line);
    }

    static const Control& VolumeControl(const Line& line)
    {
        if (!line.volume.present)
            throw MixerError(E_NOTIMPL, "The selected line has no volume control.");
        return line.volume;
    }

    // The line's volume as the loudest of its channels.
    DWORD ReadVolume(const Control& c)
    {
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> channels(c.channels);
        Check(Details(mixer_, c, channels, true), "Reading the line volume failed");
        DWORD loudest = 0;
        for (const auto& channel : channels)
            loudest = std::max(loudest, channel.dwValue);
        return loudest;
    }

    int id_;
    HMIXEROBJ mixer_;
    std::vector<Line> lines_;
    std::vector<VolumeMemo>& memos_;  // the backend's, kept when the device is opened again
};

// A microphone is a mixer's wave-in destination with a mute control; its id
// is the mixer's number and the destination's name.
class WinmmCapture final : public CaptureDevices {
public:
    std::vector<std::wstring> Active() override
    {
        found_.clear();
        std::vector<std::wstring> ids;
        const UINT count = mixerGetNumDevs();
        for (UINT m = 0; m < count && m < 0x7fff; ++m) {
            MIXERLINEW line{};
            line.cbStruct = sizeof line;
            line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
            if (mixerGetLineInfoW(MixerObject(m), &line,
                                  MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
                MMSYSERR_NOERROR)
                continue;
            const Control mute = FindControl(MixerObject(m), line, MIXERCONTROL_CONTROLTYPE_MUTE);
            if (!mute.present) continue;
            const std::string number = std::to_string(m);  // to_wstring would link in a printf
            std::wstring id = std::wstring(number.begin(), number.end()) + L" " + line.szName;
            found_[id] = {m, mute};
            ids.push_back(std::move(id));
        }
        return ids;
    }

    // The mixers of the preferred recording device and of the one for calls.
    std::vector<std::wstring> Defaults() override
    {
        std::vector<std::wstring> ids;
        for (UINT query : {PreferredDeviceQuery, CommunicationsDeviceQuery}) {
            DWORD waveIn = 0, flags = 0;
            UINT mixer = 0;
            if (waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(WAVE_MAPPER)), query,
                              reinterpret_cast<DWORD_PTR>(&waveIn),
                              reinterpret_cast<DWORD_PTR>(&flags)) != MMSYSERR_NOERROR ||
                mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(waveIn)), &mixer,
                           MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR)
                continue;
            for (const auto& [id, found] : found_)
                if (found.mixer == mixer && std::find(ids.begin(), ids.end(), id) == ids.end())
                    ids.push_back(id);
        }
        return ids;
    }

    bool Muted(const std::wstring& id) override
    {
        const Found& f = Find(id);
        return ReadMute(MixerObject(f.mixer), f.mute, "Reading a microphone's mute state failed");
    }

    void SetMuted(const std::wstring& id, bool muted) override
    {
        const Found& f = Find(id);
        WriteMute(MixerObject(f.mixer), f.mute, muted, "Setting a microphone's mute state failed");
    }

private:
    struct Found {
        UINT mixer;
        Control mute;
    };

    // As the last listing found it.
    const Found& Find(const std::wstring& id) const
    {
        auto found = found_.find(id);
        if (found == found_.end())
            throw MixerError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
                             "This microphone is no longer connected.");
        return found->second;
    }

    std::map<std::wstring, Found> found_;
};

}  // namespace

HRESULT MmResultToHresult(UINT result)
{
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200 + (result & 0xffff));
}

int WinmmBackend::DeviceCount()
{
    const UINT count = mixerGetNumDevs();
    return static_cast<int>(count < 0x7fff ? count : 0x7fff);
}

int WinmmBackend::DefaultDevice()
{
    const int mixer = PreferredMixer();
    return mixer >= 0 && mixer < DeviceCount() ? mixer : 0;
}

std::unique_ptr<MixerDevice> WinmmBackend::OpenDevice(int index)
{
    return std::make_unique<WinmmDevice>(static_cast<UINT>(index), memos_[index]);
}

std::unique_ptr<CaptureDevices> WinmmBackend::OpenCapture()
{
    return std::make_unique<WinmmCapture>();
}

namespace {

// The mixers' handles that carry MM_MIXM_CONTROL_CHANGE and
// MM_MIXM_LINE_CHANGE to the window; the window's owner handles them.
class WinmmWatch final : public ChangeWatch {
public:
    explicit WinmmWatch(HWND window) : window_(window) { Renew(); }

    void Renew() override
    {
        mixers_.clear();
        const UINT count = mixerGetNumDevs();
        for (UINT m = 0; m < count && m < 0x7fff; ++m) {
            HMIXER mixer = nullptr;
            if (mixerOpen(&mixer, m, reinterpret_cast<DWORD_PTR>(window_), 0, CALLBACK_WINDOW) ==
                MMSYSERR_NOERROR)
                mixers_.emplace_back(mixer);
        }
    }

private:
    HWND window_;
    std::vector<Owned<HMIXER, mixerClose>> mixers_;
};

}  // namespace

std::unique_ptr<ChangeWatch> WinmmBackend::Watch(std::shared_ptr<ChangeTarget>, HWND window)
{
    return std::make_unique<WinmmWatch>(window);
}
