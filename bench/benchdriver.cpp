// Measures Tarnbell and its reference programs from outside, under Wine:
//   benchdriver start tray EXE RUNS          start until the tray shows an icon
//   benchdriver start window CLASS EXE RUNS  start until a window of CLASS shows
//   benchdriver latency CLASS PRESSES SEED   hotkey press until the window's
//                                            trackbar moves
// Prints one figure per run or press, then "median N" (milliseconds).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

// Wine shows tray icons in a window of its own when there is no desktop
// tray; it is visible exactly while it holds an icon.
constexpr const char* TrayTitle = "Wine System Tray";

double Milliseconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool TrayShown()
{
    HWND tray = FindWindowA(nullptr, TrayTitle);
    return tray && IsWindowVisible(tray);
}

template <typename Condition>
bool WaitFor(Condition condition, double timeoutMs)
{
    const double end = Milliseconds() + timeoutMs;
    while (!condition()) {
        if (Milliseconds() > end) return false;
        Sleep(1);
    }
    return true;
}

struct FindArgs {
    DWORD Process;
    const char* ClassName;
    HWND Found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM lParam)
{
    auto* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[128] = "";
    GetClassNameA(window, name, sizeof name);
    if (process != args->Process || lstrcmpA(name, args->ClassName) != 0) return TRUE;
    args->Found = window;
    return FALSE;
}

HWND WindowOf(DWORD process, const char* className)
{
    FindArgs args{process, className, nullptr};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&args));
    return args.Found;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Wine's desktop process stays busy for a while after a tray icon goes
// away; a program started in that time waits up to 2 s for it before its
// first window. Every start, of Tarnbell and of the references alike, waits
// this long after the previous program ended, as a user's restart would.
constexpr DWORD PauseBetweenStartsMs = 3000;

// Starts `exe`, waits until `ready` holds, then ends the program with
// `close`, and waits until it has ended.
template <typename Ready, typename Close>
double TimeOneStart(const std::string& exe, Ready ready, Close close)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + exe + "\"";
    const double begin = Milliseconds();
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    const bool started = WaitFor([&] { return ready(process.dwProcessId); }, 20000);
    const double elapsed = Milliseconds() - begin;
    close(process.dwProcessId);
    // A program killed while its audio stream is open slows the next start
    // down by seconds under Wine: wait for the end first.
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(PauseBetweenStartsMs);
    return started ? elapsed : -1;
}

int StartTray(const std::string& exe, int runs)
{
    if (!WaitFor([] { return !TrayShown(); }, 10000)) {
        std::puts("error: the tray already shows an icon");
        return 1;
    }
    auto close = [](DWORD process) {
        // The Exit button takes the icon away; without it the tray would
        // keep a dead program's icon.
        HWND main = WindowOf(process, "TfrmMain");
        HWND exitButton = main ? FindWindowExA(main, nullptr, WC_BUTTONA, "Exit") : nullptr;
        if (exitButton)
            SendMessageTimeoutA(exitButton, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        WaitFor([] { return !TrayShown(); }, 10000);
    };
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches
        double ms = TimeOneStart(
            exe, [](DWORD) { return TrayShown(); }, close);
        if (run == 0) continue;
        std::printf("%.1f\n", ms);
        if (ms >= 0) times.push_back(ms);
    }
    std::printf("median %.1f\n", Median(times));
    return 0;
}

int StartWindow(const std::string& className, const std::string& exe, int runs)
{
    auto ready = [&](DWORD process) {
        HWND window = WindowOf(process, className.c_str());
        return window && IsWindowVisible(window);
    };
    auto close = [&](DWORD process) {
        if (HWND window = WindowOf(process, className.c_str()))
            PostMessageA(window, WM_CLOSE, 0, 0);
    };
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        double ms = TimeOneStart(exe, ready, close);
        if (run == 0) continue;
        std::printf("%.1f\n", ms);
        if (ms >= 0) times.push_back(ms);
    }
    std::printf("median %.1f\n", Median(times));
    return 0;
}

void SendKey(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// Presses Numpad + or - (towards the middle of the range), and times until
// the trackbar shows a new position. The gap between presses is random: a
// fixed one would lock onto Wine's 50 ms key-state cache.
int Latency(const std::string& className, int presses, unsigned seed)
{
    // The program may still be starting.
    HWND slider = nullptr;
    WaitFor(
        [&] {
            HWND window = FindWindowA(className.c_str(), nullptr);
            slider = window ? FindWindowExA(window, nullptr, TRACKBAR_CLASSA, nullptr) : nullptr;
            return slider != nullptr;
        },
        10000);
    if (!slider) {
        std::printf("error: no trackbar in a window of class %s\n", className.c_str());
        return 1;
    }
    auto position = [&] { return SendMessageA(slider, TBM_GETPOS, 0, 0); };
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> gap(120, 420);
    std::vector<double> times;
    for (int press = 0; press < presses; ++press) {
        const LRESULT before = position();
        const WORD key = before <= 32767 ? VK_ADD : VK_SUBTRACT;
        SendKey(key, 0);
        const double down = Milliseconds();
        double moved = -1;
        while (Milliseconds() - down < 1000) {
            if (position() != before) {
                moved = Milliseconds() - down;
                break;
            }
            Sleep(0);
        }
        // Held long enough for Wine to see it however its cache stands.
        while (Milliseconds() - down < 90)
            Sleep(1);
        SendKey(key, KEYEVENTF_KEYUP);
        std::printf("%.2f\n", moved);
        if (moved >= 0) times.push_back(moved);
        Sleep(static_cast<DWORD>(gap(random)));
    }
    std::printf("median %.2f\n", Median(times));
    return 0;
}

std::string FullPath(const char* name)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(name, MAX_PATH, full, nullptr);
    return std::string(full, length);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "start" && args[1] == "tray")
        return StartTray(FullPath(args[2].c_str()), std::atoi(args[3].c_str()));
    if (args.size() == 5 && args[0] == "start" && args[1] == "window")
        return StartWindow(args[2], FullPath(args[3].c_str()), std::atoi(args[4].c_str()));
    if (args.size() == 4 && args[0] == "latency")
        return Latency(args[1], std::atoi(args[2].c_str()),
                       static_cast<unsigned>(std::atoi(args[3].c_str())));
    std::puts("usage: benchdriver start tray EXE RUNS | start window CLASS EXE RUNS | latency "
              "CLASS PRESSES SEED");
    return 2;
}
