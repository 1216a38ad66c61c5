// Reference for start-up time and memory: what any volume tool with
// Tarnbell's window loads. It opens the sound device as the component does
// (Core Audio's default output, its volume read and written back, and the
// winmm mixer's speakers line where Core Audio cannot set the volume), then
// shows a window with the same kinds and number of controls as Tarnbell's,
// its lists as full, in the same font, with the program's own manifest.
// Built like Tarnbell (static, size-optimised).
#include <windows.h>
#include <commctrl.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>

namespace {

template <typename Interface>
void Release(Interface*& object)
{
    if (object) object->Release();
    object = nullptr;
}

bool CoreAudioSetsVolume()
{
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* device = nullptr;
    IAudioEndpointVolume* volume = nullptr;
    float level = 0;
    bool sets = SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr,
                                           CLSCTX_INPROC_SERVER, __uuidof(IMMDeviceEnumerator),
                                           reinterpret_cast<void**>(&enumerator))) &&
                SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) &&
                SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                           reinterpret_cast<void**>(&volume))) &&
                SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level)) &&
                SUCCEEDED(volume->SetMasterVolumeLevelScalar(level, nullptr));
    Release(volume);
    Release(device);
    Release(enumerator);
    return sets;
}

// The mixer of the preferred wave output, its speakers line and volume.
void OpenWinmmMixer()
{
    constexpr UINT PreferredDeviceQuery = 0x2015;  // DRVM_MAPPER_PREFERRED_GET
    DWORD waveOut = 0, flags = 0;
    waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)),
                   PreferredDeviceQuery, reinterpret_cast<DWORD_PTR>(&waveOut),
                   reinterpret_cast<DWORD_PTR>(&flags));
    UINT id = 0;
    mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(waveOut)), &id,
               MIXER_OBJECTF_WAVEOUT);
    HMIXER mixer = nullptr;
    if (mixerOpen(&mixer, id, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return;
    MIXERLINEW speakers{};
    speakers.cbStruct = sizeof speakers;
    speakers.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    MIXERCONTROLW control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof query;
    query.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    query.cControls = 1;
    query.cbmxctrl = sizeof control;
    query.pamxctrl = &control;
    auto object = reinterpret_cast<HMIXEROBJ>(mixer);
    if (mixerGetLineInfoW(object, &speakers,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
        MMSYSERR_NOERROR) {
        query.dwLineID = speakers.dwLineID;
        mixerGetLineControlsW(object, &query,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
    }
    // Kept open for the life of the program, as the component keeps it.
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Controls {
    const char* ClassName;
    DWORD Style;
    int Count;
    int Items;  // for lists
};

// Tarnbell's window: four group boxes, a trackbar, three check boxes, eleven
// drop-down lists (the output, four of modifiers, three of keys, the
// microphone's keys with "<None>" first, two of steps), ten labels and four
// buttons.
constexpr Controls WindowControls[] = {
    {WC_BUTTONA, BS_GROUPBOX, 4, 0},
    {TRACKBAR_CLASSA, TBS_HORZ | TBS_NOTICKS | TBS_FIXEDLENGTH, 1, 0},
    {WC_BUTTONA, BS_AUTOCHECKBOX | WS_TABSTOP, 3, 0},
    {WC_COMBOBOXA, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 1, 1},
    {WC_COMBOBOXA, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 4, 7},
    {WC_COMBOBOXA, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 3, 59},
    {WC_COMBOBOXA, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 1, 60},
    {WC_COMBOBOXA, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 2, 9},
    {WC_STATICA, SS_LEFT, 10, 0},
    {WC_BUTTONA, BS_PUSHBUTTON | WS_TABSTOP, 4, 0},
};

void AddControls(HWND window, HINSTANCE instance)
{
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    int placed = 0;  // on a grid of four columns, none over another
    for (const Controls& kind : WindowControls)
        for (int n = 0; n < kind.Count; ++n, ++placed) {
            HWND control =
                CreateWindowExA(0, kind.ClassName, "Text", WS_CHILD | WS_VISIBLE | kind.Style,
                                10 + placed % 4 * 120, 10 + placed / 4 * 30, 110, 24, window,
                                nullptr, instance, nullptr);
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            if (kind.Items) SendMessageA(control, CB_SETMINVISIBLE, 18, 0);
            for (int item = 0; item < kind.Items; ++item)
                SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Item"));
        }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (!CoreAudioSetsVolume()) OpenWinmmMixer();

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BenchVolumeWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "BenchVolumeWindow", "Volume",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0, 500, 340, nullptr,
                                  nullptr, instance, nullptr);
    AddControls(window, instance);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
