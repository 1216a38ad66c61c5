// Cost of one detector poll, which runs every millisecond for the whole
// life of the program, and how many key-state queries it makes.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "hotkeys/HotkeyPoll.h"

namespace {

// Keys and a clock in memory; posts are only counted.
class CountingDesk final : public HotkeyPlatform {
public:
    std::array<bool, 256> Down{};
    std::int64_t Tick = 5'000'000;
    std::int64_t Queries = 0;
    std::int64_t Posts = 0;

    bool KeyDown(std::int32_t Code) override
    {
        ++Queries;
        return Down[static_cast<std::size_t>(Code) & 0xFF];
    }
    std::int64_t Now() override { return Tick; }
    void Post(HotkeyAction) override { ++Posts; }
};

void RunPolls(benchmark::State& state, HotkeyChoice up, HotkeyChoice down, HotkeyChoice mute,
              std::int32_t heldKey)
{
    HotkeyBindings bindings;
    BuildHotkeyBindings({{up, down, mute}}, bindings);
    CountingDesk desk;
    if (heldKey != 0) desk.Down[heldKey] = true;
    HotkeyPoller poller(bindings, desk);
    for (auto _ : state) {
        poller.Poll();
        ++desk.Tick;  // one millisecond between polls, as in the detector
    }
    state.counters["queries/poll"] =
        benchmark::Counter(static_cast<double>(desk.Queries), benchmark::Counter::kAvgIterations);
    state.counters["posts/poll"] =
        benchmark::Counter(static_cast<double>(desk.Posts), benchmark::Counter::kAvgIterations);
}

// The defaults: keypad +, - and * without modifiers, nothing pressed.
void BM_IdlePoll(benchmark::State& state) { RunPolls(state, {0, 55}, {0, 56}, {0, 57}, 0); }

// Nothing pressed with Ctrl+Shift on all three: one query per binding.
void BM_IdlePollWithModifiers(benchmark::State& state)
{
    RunPolls(state, {5, 55}, {5, 56}, {5, 57}, 0);
}

// Volume down held: repeats every 82 polls after the first 1002.
void BM_HeldVolumePoll(benchmark::State& state)
{
    RunPolls(state, {0, 55}, {0, 56}, {0, 57}, 0x6D);
}

}  // namespace

BENCHMARK(BM_IdlePoll);
BENCHMARK(BM_IdlePollWithModifiers);
BENCHMARK(BM_HeldVolumePoll);
