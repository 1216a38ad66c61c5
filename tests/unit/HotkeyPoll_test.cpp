// The detector's poll against a simulated keyboard and tick counter: which
// actions it posts, and when.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "hotkeys/HotkeyPoll.h"

namespace {

constexpr std::int32_t Ctrl = 0x11, Alt = 0x12, Shift = 0x10;
constexpr std::int32_t NumpadAdd = 0x6B, NumpadSubtract = 0x6D, NumpadMultiply = 0x6A;
// Key list indexes of "Numpad +", "Numpad -", "Numpad *"; modifier rows.
constexpr int Plus = 55, Minus = 56, Times = 57;
constexpr int NoModifier = 0, CtrlOnly = 1, CtrlShift = 5;

struct Posted {
    HotkeyAction Action;
    std::int64_t Time;
    bool operator==(const Posted& o) const { return Action == o.Action && Time == o.Time; }
};

std::ostream& operator<<(std::ostream& out, const Posted& p)
{
    return out << "(" << static_cast<int>(p.Action) << " @" << p.Time << ")";
}

// A keyboard and a GetTickCount-like counter: 32 bits, wrapping, widened
// with a zero high half.
class SimulatedDesk final : public HotkeyPlatform {
public:
    std::array<bool, 256> Down{};
    std::uint32_t Tick = 0;
    std::uint32_t AdvancePerReading = 0;
    std::vector<std::int32_t> Queried;
    int Readings = 0;
    std::vector<Posted> Posts;

    bool KeyDown(std::int32_t Code) override
    {
        EXPECT_NE(Code, 0) << "code 0 is never down and must not be asked about";
        Queried.push_back(Code);
        return Down.at(static_cast<std::size_t>(Code));
    }
    std::int64_t Now() override
    {
        ++Readings;
        const std::int64_t now = Tick;
        Tick += AdvancePerReading;
        return now;
    }
    void Post(HotkeyAction Action) override { Posts.push_back({Action, Tick}); }
};

class HotkeyPollTest : public ::testing::Test {
protected:
    // Long after system start, as in a real run.
    static constexpr std::int64_t T0 = 5'000'000;

    HotkeyBindings Bindings;
    SimulatedDesk Desk;
    HotkeyPoller Poller{Bindings, Desk};

    void SetUp() override
    {
        Bind({NoModifier, Plus}, {NoModifier, Minus}, {NoModifier, Times});
        Desk.Tick = T0;
    }
    // No microphone key unless one is given.
    void Bind(HotkeyChoice up, HotkeyChoice down, HotkeyChoice mute,
              HotkeyChoice microphone = {0, 0})
    {
        BuildHotkeyBindings({{up, down, mute, microphone}}, Bindings);
    }
    void Press(std::initializer_list<std::int32_t> codes)
    {
        for (std::int32_t c : codes)
            Desk.Down[c] = true;
    }
    void Release(std::initializer_list<std::int32_t> codes)
    {
        for (std::int32_t c : codes)
            Desk.Down[c] = false;
    }
    // Polls once a millisecond, as the detector's loop does.
    void PollFor(int ms)
    {
        for (int i = 0; i < ms; ++i) {
            Poller.Poll();
            ++Desk.Tick;
        }
    }
    std::vector<Posted> TakePosts() { return std::exchange(Desk.Posts, {}); }
    static Posted At(HotkeyAction a, std::int64_t t) { return {a, T0 + t}; }
};

constexpr HotkeyAction VolUp = HotkeyAction::VolumeUp;
constexpr HotkeyAction VolDown = HotkeyAction::VolumeDown;
constexpr HotkeyAction MuteToggle = HotkeyAction::MuteToggle;

// 1001 is the first poll more than 1000 ms after the first post: it clears
// Fired and 1002 posts. After that each poll 81 ms past the latest post
// clears and the one after it posts: every 82 ms.
TEST_F(HotkeyPollTest, HeldVolumeKeyPostsAtOnceThenRepeatsAfterTheDelay)
{
    Press({NumpadAdd});
    PollFor(1500);
    Release({NumpadAdd});
    PollFor(100);
    const std::vector<Posted> expected{At(VolUp, 0),    At(VolUp, 1002), At(VolUp, 1084),
                                       At(VolUp, 1166), At(VolUp, 1248), At(VolUp, 1330),
                                       At(VolUp, 1412), At(VolUp, 1494)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, ReleaseAndPressAgainStartsANewHold)
{
    Press({NumpadSubtract});
    PollFor(1100);  // into the repeats
    Release({NumpadSubtract});
    PollFor(1);
    TakePosts();
    Press({NumpadSubtract});
    PollFor(1100);
    const std::vector<Posted> expected{At(VolDown, 1101), At(VolDown, 1101 + 1002),
                                       At(VolDown, 1101 + 1084)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, MuteTogglesOncePerPress)
{
    Press({NumpadMultiply});
    PollFor(3000);
    EXPECT_EQ(TakePosts(), std::vector<Posted>{At(MuteToggle, 0)});

    // A release that no poll sees is no release.
    Release({NumpadMultiply});
    Press({NumpadMultiply});
    PollFor(10);
    EXPECT_TRUE(TakePosts().empty());

    Release({NumpadMultiply});
    PollFor(1);
    Press({NumpadMultiply});
    PollFor(500);
    EXPECT_EQ(TakePosts(), std::vector<Posted>{At(MuteToggle, 3011)});

    // The microphone key too; its list starts with "<None>", so 59 is Numpad /.
    Bind({NoModifier, Plus}, {NoModifier, Minus}, {NoModifier, Times}, {NoModifier, 59});
    Release({NumpadMultiply});
    PollFor(1);
    Press({0x6F});
    PollFor(3000);
    EXPECT_EQ(TakePosts(), std::vector<Posted>{At(HotkeyAction::MicMute, 3512)});
}

TEST_F(HotkeyPollTest, SwitchingVolumeKeysWithoutAFreePollContinuesTheHold)
{
    Press({NumpadAdd});
    PollFor(500);
    Release({NumpadAdd});
    Press({NumpadSubtract});
    PollFor(600);
    const std::vector<Posted> expected{At(VolUp, 0), At(VolDown, 1002), At(VolDown, 1084)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, VolumeKeyAddedToAHeldMuteKeyWaitsForTheRepeatRule)
{
    // No volume hold yet in this run: the hold start counts as long ago, so
    // only the 80 ms since the mute post hold the volume action back.
    Press({NumpadMultiply});
    PollFor(20);
    Press({NumpadAdd});
    PollFor(1100);
    // The mute post did not end the rest: the volume post begins a hold.
    const std::vector<Posted> expected{At(MuteToggle, 0), At(VolUp, 82), At(VolUp, 82 + 1002)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, MutePostInsideAVolumeHoldDelaysTheNextVolumeRepeat)
{
    Press({NumpadAdd});
    PollFor(1002);  // the poll at 1001 has just cleared Fired
    Release({NumpadAdd});
    Press({NumpadMultiply});
    PollFor(48);  // mute posts at 1002, the hold goes on
    Press({NumpadAdd});
    PollFor(200);
    // Due once 1000 ms from the hold's start and 80 ms from the mute post
    // have passed: cleared at 1083, posted at 1084. The hold that began at 0
    // goes on, so the repeats follow every 82 ms.
    const std::vector<Posted> expected{At(VolUp, 0), At(MuteToggle, 1002), At(VolUp, 1084),
                                       At(VolUp, 1166), At(VolUp, 1248)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, ExtraModifiersNeitherBlockNorChangeAMatch)
{
    Bind({CtrlOnly, Plus}, {CtrlShift, Plus}, {NoModifier, Times});
    Press({NumpadAdd});
    PollFor(50);
    EXPECT_TRUE(TakePosts().empty()) << "Ctrl is required";

    // Both are held now: volume down has more modifiers and takes the press.
    Press({Ctrl, Shift});
    PollFor(1200);
    const std::vector<Posted> expected{At(VolDown, 50), At(VolDown, 1052), At(VolDown, 1134),
                                       At(VolDown, 1216)};
    EXPECT_EQ(TakePosts(), expected);
    Release({Ctrl, Shift, NumpadAdd});
    PollFor(1);

    // A binding without modifiers fires whatever modifiers are down.
    Press({Ctrl, Alt, Shift, NumpadMultiply});
    PollFor(10);
    EXPECT_EQ(TakePosts(), std::vector<Posted>{At(MuteToggle, 1251)});
}

// The microphones on Ctrl + Numpad *, mute on Numpad *: each press does its
// own action only, whichever binding comes first in the table.
TEST_F(HotkeyPollTest, TheBindingWithMoreModifiersHeldTakesThePress)
{
    Bind({NoModifier, Plus}, {NoModifier, Minus}, {NoModifier, Times}, {CtrlOnly, 58});
    for (int press = 0; press < 2; ++press) {
        Press({Ctrl, NumpadMultiply});
        PollFor(100);
        Release({NumpadMultiply});  // Ctrl last: the mute key alone is no new press
        PollFor(20);
        Release({Ctrl});
        PollFor(1);
        Press({NumpadMultiply});
        PollFor(100);
        Press({Ctrl});  // added to a held press: no new press either
        PollFor(100);
        Release({Ctrl, NumpadMultiply});
        PollFor(1);
    }
    const std::vector<Posted> expected{At(HotkeyAction::MicMute, 0), At(MuteToggle, 121),
                                       At(HotkeyAction::MicMute, 322), At(MuteToggle, 443)};
    EXPECT_EQ(TakePosts(), expected);

    // A modifier of neither binding changes nothing.
    Press({Ctrl, Shift, NumpadMultiply});
    PollFor(10);
    EXPECT_EQ(TakePosts(), std::vector<Posted>{At(HotkeyAction::MicMute, 644)});
}

TEST_F(HotkeyPollTest, OneCombinationOnTwoActionsFiresOnlyTheEarlier)
{
    Bind({NoModifier, Times}, {NoModifier, Minus}, {NoModifier, Times});
    Press({NumpadMultiply});
    PollFor(1100);
    Release({NumpadMultiply});
    PollFor(1);
    Bind({NoModifier, Plus}, {NoModifier, Minus}, {NoModifier, Minus});
    Press({NumpadSubtract});
    PollFor(1100);
    const std::vector<Posted> expected{At(VolUp, 0),      At(VolUp, 1002),   At(VolUp, 1084),
                                       At(VolDown, 1101), At(VolDown, 2103), At(VolDown, 2185)};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, TickWrapDuringAHoldStopsRepeatsUntilRelease)
{
    const std::uint32_t beforeWrap = 0xFFFFFFFFu - 299;
    Desk.Tick = beforeWrap;
    Press({NumpadAdd});
    PollFor(3000);
    ASSERT_EQ(Desk.Posts.size(), 1u);
    EXPECT_EQ(Desk.Posts[0].Time, beforeWrap);
    TakePosts();

    Release({NumpadAdd});
    PollFor(1);
    Press({NumpadAdd});
    PollFor(1100);
    const std::vector<Posted> expected{{VolUp, 2701}, {VolUp, 2701 + 1002}, {VolUp, 2701 + 1084}};
    EXPECT_EQ(TakePosts(), expected);
}

TEST_F(HotkeyPollTest, ZeroBindingsNeverPostNorAskAnything)
{
    HotkeyBindings zero;
    HotkeyPoller poller(zero, Desk);
    Desk.Down.fill(true);
    for (int i = 0; i < 2000; ++i) {
        poller.Poll();
        ++Desk.Tick;
    }
    EXPECT_TRUE(Desk.Posts.empty());
    EXPECT_TRUE(Desk.Queried.empty());
    EXPECT_EQ(Desk.Readings, 0);
}

TEST_F(HotkeyPollTest, HeldTestAsksInOrderAndStopsAtTheFirstKeyUp)
{
    Bind({CtrlShift, Plus}, {CtrlShift, Minus}, {CtrlShift, Times});
    PollFor(1);
    EXPECT_EQ(Desk.Queried, (std::vector<std::int32_t>{Ctrl, Ctrl, Ctrl}));

    Desk.Queried.clear();
    Press({Ctrl, Shift});
    PollFor(1);
    EXPECT_EQ(Desk.Queried,
              (std::vector<std::int32_t>{Ctrl, Shift, NumpadAdd, Ctrl, Shift, NumpadSubtract, Ctrl,
                                         Shift, NumpadMultiply}));

    // A held binding hides the ones after it.
    Desk.Queried.clear();
    Press({NumpadAdd, NumpadSubtract, NumpadMultiply});
    PollFor(1);
    EXPECT_EQ(Desk.Queried, (std::vector<std::int32_t>{Ctrl, Shift, NumpadAdd}));
}

TEST_F(HotkeyPollTest, ReadsTheClockOnlyWhenItNeedsTheTime)
{
    const auto readingsOfOnePoll = [this] {
        Desk.Readings = 0;
        PollFor(1);
        return Desk.Readings;
    };
    EXPECT_EQ(readingsOfOnePoll(), 0) << "idle";
    Press({NumpadAdd});
    EXPECT_EQ(readingsOfOnePoll(), 1) << "post";
    EXPECT_EQ(readingsOfOnePoll(), 1) << "held, hold too young";
    PollFor(1000);
    EXPECT_EQ(readingsOfOnePoll(), 1) << "repeat post";
    EXPECT_EQ(readingsOfOnePoll(), 2) << "held, both comparisons";
}

// With a clock that moves on at each reading, only a fresh reading for the
// comparison with the latest post finds the 80 ms passed; the poll after
// the clearing one posts.
TEST_F(HotkeyPollTest, EachComparisonTakesAFreshReading)
{
    Press({NumpadAdd});
    PollFor(1003);  // posts at 0 and 1002
    TakePosts();
    Desk.Tick = T0 + 1002 + 80;
    Desk.AdvancePerReading = 1;
    Poller.Poll();
    Desk.AdvancePerReading = 0;
    Poller.Poll();
    EXPECT_EQ(Desk.Posts.size(), 1u);
}

}  // namespace
