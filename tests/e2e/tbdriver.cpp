// tbdriver: drives a running Tarnbell from outside, as a user would: keys
// and mouse through SendInput, and reads the window's controls with window
// messages. Commands (several may be chained with "--", run in order until
// one fails):
//   tbdriver state                      the window and every control
//   tbdriver press KEYS [ms] [count]    press and release keys, count times;
//                                       KEYS is VK or VK+VK+... (a chord)
//   tbdriver down VK | up VK            one half of a key press
//   tbdriver hold VK ms                 hold a key; print each slider move
//   tbdriver mouse X Y                  move the mouse pointer (screen pixels)
//   tbdriver click X Y [right]          click there (left button by default)
//   tbdriver drag X1 Y1 X2 Y2           press the left button, move, release
//   tbdriver click-control ID [right]   click the middle of a control
//   tbdriver pick ID INDEX              open a list with its arrow, scroll it
//                                       with the wheel and click entry INDEX
//   tbdriver wait-hidden [ms]           wait (10 s by default) until hidden
//   tbdriver wait-shown [ms]            or until shown
//   tbdriver tray-icon [ID]             1 if the shell knows the window's icon
//                                       (104, or the microphone icon's 105)
//   tbdriver level [ms]                 wait (0 ms by default) until the level
//                                       display shows; print it as "windows"
//   tbdriver level-gone [ms]            wait (3 s by default) until it is gone
//   tbdriver about                      the About window and its controls
//   tbdriver windows                    every visible top-level window
//   tbdriver tooltips                   the text of every visible tooltip
//   tbdriver move X Y                   move the window, keeping its size
//                                       (there is no window manager to drag)
//   tbdriver focus                      the foreground window, and the active
//                                       and focused windows of the program
//   tbdriver cursor                     where the system sees the mouse
//   tbdriver close-window CLASS TITLE   ask another program's window to close
//   tbdriver start SHOW                 start TBDRIVER_EXE from the current
//                                       folder as a launcher does, asking for
//                                       show command SHOW; wait for its end
//   tbdriver app MS [window]            be a program for MS ms: print "pid N",
//                                       with "window" show a window in front
//                                       (titled after this file) and print
//                                       "front 1" once it is the foreground
// VK is a decimal or 0x-hex virtual-key code; ID a control id from "state".
// Keys are held 100 ms by default: Wine answers GetAsyncKeyState from a cache
// that may be 50 ms old. With TBDRIVER_EXE set (a file name such as
// Tarnbell.exe), only the window of a program running under that name is
// driven, so that copies under other names can run at the same time.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Text(HWND window)
{
    char text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &length);
    return text;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The file name, without its directory, of the program that owns a window.
std::string ProgramOf(HWND window)
{
    std::string name;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(window));
    if (!process) return name;
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameA(process, 0, path, &size)) {
        name.assign(path, size);
        name = name.substr(name.find_last_of("\\/") + 1);
    }
    CloseHandle(process);
    return name;
}

struct WindowQuery {
    const char* className;
    DWORD process;        // 0: any
    std::string program;  // empty: any
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<WindowQuery*>(param);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != query->className) return TRUE;
    if (query->process && ProcessOf(window) != query->process) return TRUE;
    if (!query->program.empty() &&
        lstrcmpiA(ProgramOf(window).c_str(), query->program.c_str()) != 0)
        return TRUE;
    query->found = window;
    return FALSE;
}

HWND FindTopLevel(const char* className, DWORD process, const std::string& program)
{
    WindowQuery query{className, process, program, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND MainWindow()
{
    const char* program = std::getenv("TBDRIVER_EXE");
    if (!program || !*program) return FindWindowA("TfrmMain", "Tarnbell");
    return FindTopLevel("TfrmMain", 0, program);
}

// Control characters shown as escapes, so that each window stays on one line.
std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void PrintControl(HWND control, HWND parent)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    std::string cls = ClassOf(control);
    std::printf("control id=%d class=%s rect=%ld,%ld,%ld,%ld visible=%d text=\"%s\"",
                GetDlgCtrlID(control), cls.c_str(), r.left, r.top, r.right - r.left,
                r.bottom - r.top, IsWindowVisible(control) ? 1 : 0, Text(control).c_str());
    if (cls == "msctls_trackbar32")
        std::printf(" pos=%ld min=%ld max=%ld",
                    static_cast<long>(SendMessageA(control, TBM_GETPOS, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETRANGEMAX, 0, 0)));
    if (cls == "Button")
        std::printf(" checked=%ld", static_cast<long>(SendMessageA(control, BM_GETCHECK, 0, 0)));
    if (cls == "ComboBox")
        std::printf(" cursel=%ld count=%ld",
                    static_cast<long>(SendMessageA(control, CB_GETCURSEL, 0, 0)),
                    static_cast<long>(SendMessageA(control, CB_GETCOUNT, 0, 0)));
    std::printf("\n");
}

BOOL CALLBACK EachChild(HWND child, LPARAM parent)
{
    if (GetParent(child) == reinterpret_cast<HWND>(parent))
        PrintControl(child, reinterpret_cast<HWND>(parent));
    return TRUE;
}

int State(HWND main)
{
    RECT frame, client;
    GetWindowRect(main, &frame);
    GetClientRect(main, &client);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    LONG style = GetWindowLongA(main, GWL_STYLE);
    LONG exStyle = GetWindowLongA(main, GWL_EXSTYLE);
    std::printf(
        "window visible=%d rect=%ld,%ld,%ld,%ld client=%ld,%ld style=0x%08lX exstyle=0x%08lX "
        "screen=%d,%d origin=%ld,%ld enabled=%d caption=\"%s\"\n",
        IsWindowVisible(main) ? 1 : 0, frame.left, frame.top, frame.right - frame.left,
        frame.bottom - frame.top, client.right, client.bottom, static_cast<unsigned long>(style),
        static_cast<unsigned long>(exStyle), GetSystemMetrics(SM_CXSCREEN),
        GetSystemMetrics(SM_CYSCREEN), origin.x, origin.y, IsWindowEnabled(main) ? 1 : 0,
        Escaped(Text(main)).c_str());
    EnumChildWindows(main, EachChild, reinterpret_cast<LPARAM>(main));
    return 0;
}

void Key(WORD vk, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// "0x11+0x74": the keys of a chord, pressed in this order.
std::vector<WORD> Chord(const std::string& text)
{
    std::vector<WORD> keys;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('+', start);
        if (end == std::string::npos) end = text.size();
        keys.push_back(
            static_cast<WORD>(std::strtoul(text.substr(start, end - start).c_str(), nullptr, 0)));
        start = end + 1;
    }
    return keys;
}

void Press(const std::vector<WORD>& keys, DWORD hold)
{
    for (WORD vk : keys)
        Key(vk, true);
    Sleep(hold);
    for (auto vk = keys.rbegin(); vk != keys.rend(); ++vk)
        Key(*vk, false);
    Sleep(hold);
}

// ---- mouse ------------------------------------------------------------------

// Absolute mouse coordinates run from 0 to 65535 across the primary screen;
// rounded up so that they map back to the same pixel.
LONG Normalized(int pixel, int size)
{
    return static_cast<LONG>((pixel * 65536LL + size - 1) / size);
}

void MouseInput(DWORD flags, POINT at, DWORD data = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalized(at.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normalized(at.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.mouseData = data;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer and waits until the system sees it there, so that a
// click cannot land where the pointer was before.
bool MoveMouse(POINT to)
{
    MouseInput(0, to);
    for (int i = 0; i < 200; ++i) {
        POINT now{};
        GetCursorPos(&now);
        if (now.x == to.x && now.y == to.y) {
            Sleep(50);  // the window under it handles the move
            return true;
        }
        Sleep(10);
    }
    std::fprintf(stderr, "the pointer did not reach %ld,%ld\n", to.x, to.y);
    return false;
}

bool Click(POINT at, bool right = false)
{
    if (!MoveMouse(at)) return false;
    MouseInput(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, at);
    Sleep(60);
    MouseInput(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, at);
    Sleep(100);
    return true;
}

bool Drag(POINT from, POINT to)
{
    if (!MoveMouse(from)) return false;
    MouseInput(MOUSEEVENTF_LEFTDOWN, from);
    Sleep(100);
    constexpr int Steps = 10;
    for (int i = 1; i <= Steps; ++i) {
        MouseInput(0, {from.x + (to.x - from.x) * i / Steps, from.y + (to.y - from.y) * i / Steps});
        Sleep(30);
    }
    MoveMouse(to);
    MouseInput(MOUSEEVENTF_LEFTUP, to);
    Sleep(100);
    return true;
}

POINT Middle(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

RECT ScreenRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// ---- drop-down lists ----------------------------------------------------------

BOOL CALLBACK FindDropped(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    if (!IsWindowVisible(window) || ClassOf(window) != "ComboLBox" ||
        ProcessOf(window) != query->first)
        return TRUE;
    query->second = window;
    return FALSE;
}

// The opened list of a drop-down list of the program, if one is open.
HWND DroppedList(HWND main)
{
    std::pair<DWORD, HWND> query{ProcessOf(main), nullptr};
    EnumWindows(FindDropped, reinterpret_cast<LPARAM>(&query));
    return query.second;
}

HWND WaitDropped(HWND main, bool open)
{
    for (int i = 0; i < 200; ++i) {
        HWND dropped = DroppedList(main);
        if ((dropped != nullptr) == open) return dropped ? dropped : main;
        Sleep(25);
    }
    return nullptr;
}

// Opens a list with a click on its arrow button, rolls the wheel over it
// until the entry shows, and clicks the entry.
int Pick(HWND main, HWND list, int index)
{
    RECT box = ScreenRect(list);
    int arrow = GetSystemMetrics(SM_CXVSCROLL) / 2 + 1;
    if (!Click({box.right - arrow, (box.top + box.bottom) / 2})) return 1;
    HWND dropped = WaitDropped(main, true);
    if (!dropped) return std::fprintf(stderr, "the list did not open\n"), 1;
    for (int roll = 0; roll < 40; ++roll) {
        RECT client{};
        GetClientRect(dropped, &client);
        MapWindowPoints(dropped, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
        int top = static_cast<int>(SendMessageA(dropped, LB_GETTOPINDEX, 0, 0));
        int height = static_cast<int>(SendMessageA(dropped, LB_GETITEMHEIGHT, 0, 0));
        int shown = height > 0 ? (client.bottom - client.top) / height : 0;
        if (index >= top && index < top + shown) {
            int y = client.top + (index - top) * height + height / 2;
            if (!Click({(client.left + client.right) / 2, y})) return 1;
            if (!WaitDropped(main, false))
                return std::fprintf(stderr, "the list did not close\n"), 1;
            return 0;
        }
        MoveMouse(Middle(client));
        MouseInput(MOUSEEVENTF_WHEEL, Middle(client),
                   static_cast<DWORD>(index < top ? WHEEL_DELTA : -WHEEL_DELTA));
        Sleep(100);
    }
    return std::fprintf(stderr, "entry %d never showed\n", index), 1;
}

HWND Control(HWND main, const char* id) { return GetDlgItem(main, std::atoi(id)); }

BOOL CALLBACK FindSlider(HWND child, LPARAM out)
{
    if (ClassOf(child) != "msctls_trackbar32") return TRUE;
    *reinterpret_cast<HWND*>(out) = child;
    return FALSE;
}

int SliderPos(HWND main)
{
    HWND found = nullptr;
    EnumChildWindows(main, FindSlider, reinterpret_cast<LPARAM>(&found));
    return found ? static_cast<int>(SendMessageA(found, TBM_GETPOS, 0, 0)) : -1;
}

// Holds a key and prints the time (ms since the press) of every slider move.
int Hold(HWND main, WORD vk, DWORD ms)
{
    int last = SliderPos(main);
    std::printf("start pos=%d\n", last);
    DWORD begin = GetTickCount();
    Key(vk, true);
    while (GetTickCount() - begin < ms) {
        int now = SliderPos(main);
        if (now != last)
            std::printf("move t=%lu pos=%d\n", static_cast<unsigned long>(GetTickCount() - begin),
                        now);
        last = now;
        Sleep(1);
    }
    Key(vk, false);
    Sleep(200);
    std::printf("end pos=%d\n", SliderPos(main));
    return 0;
}

int WaitVisible(HWND main, bool visible, unsigned long ms)
{
    for (unsigned long waited = 0; waited <= ms; waited += 50) {
        if ((IsWindowVisible(main) != FALSE) == visible) return 0;
        Sleep(50);
    }
    std::fprintf(stderr, "window did not become %s\n", visible ? "shown" : "hidden");
    return 1;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM main)
{
    if (!IsWindowVisible(window)) return TRUE;
    RECT r;
    GetWindowRect(window, &r);
    bool own = ProcessOf(window) == ProcessOf(reinterpret_cast<HWND>(main));
    std::printf("toplevel class=\"%s\" own=%d rect=%ld,%ld,%ld,%ld program=\"%s\" text=\"%s\"\n",
                ClassOf(window).c_str(), own ? 1 : 0, r.left, r.top, r.right - r.left,
                r.bottom - r.top, ProgramOf(window).c_str(), Escaped(Text(window)).c_str());
    return TRUE;
}

int WaitLevelDisplay(HWND main, bool shown, unsigned long ms)
{
    for (unsigned long waited = 0;; waited += 10) {
        HWND display = FindTopLevel("TLevelDisplay", ProcessOf(main), "");
        if (display && !IsWindowVisible(display)) display = nullptr;
        if ((display != nullptr) == shown) {
            if (display) PrintTopLevel(display, reinterpret_cast<LPARAM>(main));
            return 0;
        }
        if (waited >= ms) break;
        Sleep(10);
    }
    std::fprintf(stderr, "the level display did not %s\n", shown ? "show" : "go");
    return 1;
}

// A tooltip answers WM_GETTEXT with the text it shows.
BOOL CALLBACK PrintTooltip(HWND window, LPARAM)
{
    if (IsWindowVisible(window) && ClassOf(window) == TOOLTIPS_CLASSA)
        std::printf("tooltip text=\"%s\"\n", Escaped(Text(window)).c_str());
    return TRUE;
}

std::string Describe(HWND window)
{
    if (!window) return "none";
    return ClassOf(window) + "/\"" + Escaped(Text(window)) + "\"";
}

int Focus(HWND main)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
    std::printf("focus foreground=%s active=%s focus=%s\n", Describe(GetForegroundWindow()).c_str(),
                Describe(info.hwndActive).c_str(), Describe(info.hwndFocus).c_str());
    return 0;
}

// The shell accepts a change of an icon only while it has it.
bool TrayIconKnown(HWND main, UINT id)
{
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = main;
    probe.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// A launcher's start: the show command goes in STARTUPINFO. The program's
// name is read as UTF-16, so any folder works. The program ends with this
// driver (a job closed with it), so that a test that kills the driver
// leaves no copy holding the program's name.
int StartAndWait(WORD show)
{
    wchar_t program[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TBDRIVER_EXE", program, MAX_PATH)) return 2;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started))
        return std::fprintf(stderr, "cannot start (error %lu)\n", GetLastError()), 2;
    AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    CloseHandle(job);
    return static_cast<int>(code);
}

// A program of its own for the tests of the volume of the program in front:
// the stand-in's sessions are opened for its process id by "another program".
int BeAnApp(DWORD lifetime, bool window)
{
    std::printf("pid %lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    const DWORD end = GetTickCount() + lifetime;
    if (!window) return Sleep(lifetime), 0;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    HWND shown =
        CreateWindowExA(0, "STATIC", std::strrchr(path, '\\') + 1, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        200, 200, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(shown);
    bool told = false;
    for (MSG message; static_cast<LONG>(end - GetTickCount()) > 0;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        if (!told && GetForegroundWindow() == shown) {
            told = true;
            std::printf("front 1\n");
            std::fflush(stdout);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    if (args.at(0) == "app")
        return BeAnApp(std::strtoul(args.at(1).c_str(), nullptr, 0),
                       args.size() > 2 && args[2] == "window");
    if (args.at(0) == "start")
        return StartAndWait(static_cast<WORD>(std::strtoul(args.at(1).c_str(), nullptr, 0)));
    HWND main = MainWindow();
    if (!main) {
        std::fprintf(stderr, "no Tarnbell window\n");
        return 2;
    }
    const std::string& cmd = args.at(0);
    auto number = [&](size_t i) { return std::strtoul(args.at(i).c_str(), nullptr, 0); };
    auto point = [&](size_t i) {
        return POINT{std::atoi(args.at(i).c_str()), std::atoi(args.at(i + 1).c_str())};
    };
    auto right = [&](size_t i) { return args.size() > i && args[i] == "right"; };
    if (cmd == "state") return State(main);
    if (cmd == "press") {
        DWORD hold = args.size() > 2 ? number(2) : 100;
        for (unsigned long i = 0, n = args.size() > 3 ? number(3) : 1; i < n; ++i)
            Press(Chord(args.at(1)), hold);
        return 0;
    }
    if (cmd == "down" || cmd == "up") return Key(static_cast<WORD>(number(1)), cmd == "down"), 0;
    if (cmd == "hold") return Hold(main, static_cast<WORD>(number(1)), number(2));
    if (cmd == "mouse") return MoveMouse(point(1)) ? 0 : 1;
    if (cmd == "click") return Click(point(1), right(3)) ? 0 : 1;
    if (cmd == "drag") return Drag(point(1), point(3)) ? 0 : 1;
    if (cmd == "click-control" || cmd == "pick") {
        HWND control = Control(main, args.at(1).c_str());
        if (!control) return std::fprintf(stderr, "no control %s\n", args[1].c_str()), 1;
        if (cmd == "pick") return Pick(main, control, static_cast<int>(number(2)));
        return Click(Middle(ScreenRect(control)), right(2)) ? 0 : 1;
    }
    if (cmd == "tray-icon")
        return std::printf("%d\n", TrayIconKnown(main, args.size() > 1 ? number(1) : 104) ? 1 : 0),
               0;
    if (cmd == "level" || cmd == "level-gone")
        return WaitLevelDisplay(main, cmd == "level",
                                args.size() > 1  ? number(1)
                                : cmd == "level" ? 0
                                                 : 3000);
    if (cmd == "about") {
        HWND about = FindTopLevel("TfrmAbout", ProcessOf(main), "");
        if (!about) return std::fprintf(stderr, "no About window\n"), 1;
        return State(about);
    }
    if (cmd == "windows") return EnumWindows(PrintTopLevel, reinterpret_cast<LPARAM>(main)), 0;
    if (cmd == "focus") return Focus(main);
    if (cmd == "cursor") {
        POINT at{};
        GetCursorPos(&at);
        return std::printf("cursor %ld,%ld\n", at.x, at.y), 0;
    }
    if (cmd == "close-window") {
        HWND window = FindWindowA(args.at(1).c_str(), args.at(2).c_str());
        return window && ProcessOf(window) != ProcessOf(main) &&
                       PostMessageA(window, WM_CLOSE, 0, 0)
                   ? 0
                   : 1;
    }
    if (cmd == "tooltips") return EnumWindows(PrintTooltip, 0), 0;
    if (cmd == "move")
        return SetWindowPos(main, nullptr, std::atoi(args.at(1).c_str()),
                            std::atoi(args.at(2).c_str()), 0, 0,
                            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : 1;
    if (cmd == "wait-hidden" || cmd == "wait-shown")
        return WaitVisible(main, cmd == "wait-shown", args.size() > 1 ? number(1) : 10000);
    std::fprintf(stderr, "unknown command %s\n", cmd.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tbdriver COMMAND [ARGS] [-- COMMAND [ARGS]]...\n");
        return 2;
    }
    int result = 0;
    std::vector<std::string> command;
    for (int i = 1; i <= argc && result == 0; ++i) {
        if (i < argc && std::string(argv[i]) != "--") {
            command.emplace_back(argv[i]);
            continue;
        }
        if (!command.empty()) result = Run(command);
        command.clear();
        std::fflush(stdout);
    }
    return result;
}
