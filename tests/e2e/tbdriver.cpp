// tbdriver: drives a running Tarnbell from outside, as a user would: presses
// keys with SendInput, clicks buttons, picks list entries, and reads the
// window's controls with window messages. One command per run:
//   tbdriver state                      the window and every control
//   tbdriver press VK [ms] [count]      press and release a key, count times
//   tbdriver down VK | up VK            one half of a key press
//   tbdriver hold VK ms                 hold a key; print each slider move
//   tbdriver click ID                   click a button (or the check box)
//   tbdriver select ID INDEX            pick entry INDEX of a list
//   tbdriver close                      the window's close box
//   tbdriver tray MOUSEMESSAGE          a mouse message from the tray icon
//   tbdriver wait-hidden | wait-shown   wait up to 10 s for that state
//   tbdriver tray-icon                  1 if the shell knows the window's icon
//   tbdriver about                      the About window and its controls
//   tbdriver windows                    every visible top-level window
//   tbdriver tooltips                   the text of every visible tooltip
//   tbdriver move X Y                   move the window, keeping its size
//   tbdriver focus                      the foreground window, and the active
//                                       and focused windows of the program
//   tbdriver cursor                     where the system sees the mouse
//   tbdriver close-window CLASS TITLE   ask any program's window to close
// VK is a decimal or 0x-hex virtual-key code; ID a control id from "state".
// With TBDRIVER_EXE set (a file name such as Tarnbell.exe), only the window
// of a program running under that name is driven, so that copies under
// other names can run at the same time.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Text(HWND window)
{
    char text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &length);
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
    if (!query->program.empty() && lstrcmpiA(ProgramOf(window).c_str(), query->program.c_str()) != 0) return TRUE;
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
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
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
    std::printf("control id=%d class=%s rect=%ld,%ld,%ld,%ld visible=%d text=\"%s\"", GetDlgCtrlID(control),
                cls.c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                IsWindowVisible(control) ? 1 : 0, Text(control).c_str());
    if (cls == "msctls_trackbar32")
        std::printf(" pos=%ld min=%ld max=%ld", static_cast<long>(SendMessageA(control, TBM_GETPOS, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETRANGEMAX, 0, 0)));
    if (cls == "Button") std::printf(" checked=%ld", static_cast<long>(SendMessageA(control, BM_GETCHECK, 0, 0)));
    if (cls == "ComboBox")
        std::printf(" cursel=%ld count=%ld", static_cast<long>(SendMessageA(control, CB_GETCURSEL, 0, 0)),
                    static_cast<long>(SendMessageA(control, CB_GETCOUNT, 0, 0)));
    std::printf("\n");
}

BOOL CALLBACK EachChild(HWND child, LPARAM parent)
{
    if (GetParent(child) == reinterpret_cast<HWND>(parent)) PrintControl(child, reinterpret_cast<HWND>(parent));
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
    std::printf("window visible=%d rect=%ld,%ld,%ld,%ld client=%ld,%ld style=0x%08lX exstyle=0x%08lX "
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
        if (now != last) std::printf("move t=%lu pos=%d\n", static_cast<unsigned long>(GetTickCount() - begin), now);
        last = now;
        Sleep(1);
    }
    Key(vk, false);
    Sleep(200);
    std::printf("end pos=%d\n", SliderPos(main));
    return 0;
}

int WaitVisible(HWND main, bool visible)
{
    for (int i = 0; i < 200; ++i) {
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
                ClassOf(window).c_str(), own ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                ProgramOf(window).c_str(), Escaped(Text(window)).c_str());
    return TRUE;
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
bool TrayIconKnown(HWND main)
{
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = main;
    probe.uID = 104;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

int Run(const std::vector<std::string>& args)
{
    HWND main = MainWindow();
    if (!main) {
        std::fprintf(stderr, "no Tarnbell window\n");
        return 2;
    }
    const std::string& cmd = args[0];
    auto number = [&](size_t i) { return std::strtoul(args.at(i).c_str(), nullptr, 0); };
    if (cmd == "state") return State(main);
    if (cmd == "press") {
        DWORD hold = args.size() > 2 ? number(2) : 60;
        for (unsigned long i = 0, n = args.size() > 3 ? number(3) : 1; i < n; ++i) {
            Key(static_cast<WORD>(number(1)), true);
            Sleep(hold);
            Key(static_cast<WORD>(number(1)), false);
            Sleep(hold);
        }
        return 0;
    }
    if (cmd == "down" || cmd == "up") return Key(static_cast<WORD>(number(1)), cmd == "down"), 0;
    if (cmd == "hold") return Hold(main, static_cast<WORD>(number(1)), number(2));
    if (cmd == "click") return PostMessageA(Control(main, args.at(1).c_str()), BM_CLICK, 0, 0) ? 0 : 1;
    if (cmd == "select") {
        HWND list = Control(main, args.at(1).c_str());
        SendMessageA(list, CB_SETCURSEL, number(2), 0);
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        return 0;
    }
    if (cmd == "close") return PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    if (cmd == "tray") return PostMessageA(main, WM_USER + 2, 104, number(1)) ? 0 : 1;
    if (cmd == "tray-icon") return std::printf("%d\n", TrayIconKnown(main) ? 1 : 0), 0;
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
        return window && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (cmd == "tooltips") return EnumWindows(PrintTooltip, 0), 0;
    if (cmd == "move")
        return SetWindowPos(main, nullptr, std::atoi(args.at(1).c_str()), std::atoi(args.at(2).c_str()), 0, 0,
                            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : 1;
    if (cmd == "wait-hidden") return WaitVisible(main, false);
    if (cmd == "wait-shown") return WaitVisible(main, true);
    std::fprintf(stderr, "unknown command %s\n", cmd.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tbdriver COMMAND [ARGS]\n");
        return 2;
    }
    int result = Run(std::vector<std::string>(argv + 1, argv + argc));
    std::fflush(stdout);
    return result;
}
