#pragma once
// The audio state that Windows' audio service keeps for the whole system:
// the endpoints, the default endpoint of each flow and role, the programs'
// sessions, and a numbered log of the changes from which every process that
// registered a callback learns what changed. The in-process tests keep one
// in memory; the stand-in keeps one in a file that every process shares.
// As on Windows, an endpoint that goes stays known by its id, with a state
// other than active.
#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <string>
#include <vector>

struct AudioEndpoint {
    std::wstring id;
    std::wstring name;
    DWORD state = DEVICE_STATE_ACTIVE;  // DEVICE_STATE_UNPLUGGED, DEVICE_STATE_NOTPRESENT: gone
    EDataFlow flow = eRender;           // eCapture: a microphone
    int connections = 0;  // + 1 each time it comes back: older volume objects are stale
    float level = 1.0f;
    BOOL mute = FALSE;
    UINT stepCount = 0;  // 0: GetVolumeStepInfo fails
    // What in-process tests set to imitate particular systems (not kept in
    // the stand-in's file).
    HRESULT staleResult = AUDCLNT_E_DEVICE_INVALIDATED;  // from a volume object of before
    HRESULT nameResult = S_OK;
    HRESULT activateResult = S_OK;
    HRESULT setLevelResult = S_OK;  // E_NOTIMPL as on Wine
    float quantum = 0;              // > 0: the level is kept in steps of this size, truncated
    bool ignoresWrites = false;     // answers S_OK but keeps its level
    std::vector<float> levelsSet;
};

// A program's audio stream on a render endpoint, as the volume mixer lists it.
struct AudioSession {
    int key = 0;  // the stand-in's own number for it
    DWORD pid = 0;
    int endpoint = 0;
    std::wstring name;
    float level = 1.0f;
    BOOL mute = FALSE;
    bool expired = false;  // the program closed it
};

enum class AudioChange { Volume, State, Added, Default };

struct AudioEvent {
    unsigned number = 0;
    AudioChange change = AudioChange::Volume;
    int endpoint = -1;  // Default: -1 when none is left
    EDataFlow flow = eRender;
    ERole role = eConsole;
    GUID context = GUID_NULL;  // Volume: the writer's event context
    float level = 0;
    BOOL mute = FALSE;
    DWORD state = 0;
};

// How many change callbacks a process has registered now.
struct AudioRegistrations {
    DWORD pid = 0;
    int volumeCallbacks = 0;
    int notificationClients = 0;
};

struct AudioSystem {
    std::vector<AudioEndpoint> endpoints;
    int defaults[2][ERole_enum_count] = {{-1, -1, -1}, {-1, -1, -1}};  // [flow][role]: endpoint
    std::vector<AudioSession> sessions;
    std::vector<AudioRegistrations> registrations;
    bool serviceRunning = true;
    unsigned changes = 0;            // the number of the last event
    std::vector<AudioEvent> events;  // the latest ones, oldest first
    int nextSessionKey = 1;
    // What the last caller asked for (in-process tests).
    EDataFlow flowAsked = eAll;
    DWORD stateAsked = 0;
    ERole roleAsked = ERole_enum_count;

    // The default endpoint of the flow for the role while it is active, else -1.
    int Default(EDataFlow flow, ERole role) const;
    // The endpoint with this id, else the first with this friendly name
    // (any case), else -1.
    int Find(const std::wstring& idOrName) const;
    AudioSession* Session(int key);

    // The changes Windows makes, each logged for the callbacks. SetMute
    // answers S_FALSE when the state was already so.
    HRESULT SetLevel(int endpoint, float level, LPCGUID context);
    HRESULT SetMute(int endpoint, BOOL mute, LPCGUID context);
    // Unplugging moves each default it held to another active endpoint of
    // its flow (or none); plugging in makes it the default where there is none.
    void SetState(int endpoint, DWORD state);
    void SetDefault(EDataFlow flow, ERole role, int endpoint);
    void SetDefaults(EDataFlow flow, int endpoint);  // every role
    int Add(AudioEndpoint endpoint);
    void Register(DWORD pid, int volumeCallbacks, int notificationClients);

    // What the stand-in's file keeps; Load fails on anything else.
    std::string Save() const;
    bool Load(const std::string& bytes);

private:
    void Log(AudioEvent event);
};

// The system a fresh stand-in starts with: outputs "Speakers" (the default
// for every role) and "Headphones", microphones "Microphone" (the default)
// and "Webcam Microphone", all at full level and not muted.
AudioSystem StandinStartState();

// Text for the control program and the tests: one line per fact.
std::string DescribeAudioSystem(const AudioSystem& system);
