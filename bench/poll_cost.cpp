// Instructions per idle poll, counted natively under callgrind:
//   poll_cost tarnbell N   N polls of Tarnbell's detector poll (default keys)
//   poll_cost reference N  N rounds of a hand-written loop asking the same
//                          three keys
// Both ask keys through BenchKeyState, a real call like the system's; the
// platform below is shaped like the detector's own. Run with N and with 0:
// the difference of the two counts over N is the cost of one poll.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hotkeys/HotkeyPoll.h"

extern "C" short BenchKeyState(int code);

namespace {

volatile int Posted = 0;

class NativePlatform {
public:
    bool KeyDown(std::int32_t code) { return (BenchKeyState(code) & 0x8000) != 0; }
    std::int64_t Now() { return 0; }
    void Post(HotkeyAction action) { Posted = static_cast<int>(action); }
};

__attribute__((noinline)) void TarnbellPolls(long count)
{
    HotkeyBindings bindings;
    BuildHotkeyBindings({{{0, 55}, {0, 56}, {0, 57}}}, bindings);  // Numpad +, -, *
    NativePlatform platform;
    BasicHotkeyPoller<NativePlatform> poller(bindings, platform);
    for (long i = 0; i < count; ++i)
        poller.Poll();
}

__attribute__((noinline)) void ReferencePolls(long count)
{
    for (long i = 0; i < count; ++i) {
        if (BenchKeyState(0x6B) & 0x8000)
            Posted = 1;
        else if (BenchKeyState(0x6D) & 0x8000)
            Posted = 2;
        else if (BenchKeyState(0x6A) & 0x8000)
            Posted = 3;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const long count = std::atol(argv[2]);
    if (std::strcmp(argv[1], "tarnbell") == 0)
        TarnbellPolls(count);
    else
        ReferencePolls(count);
    return 0;
}
