#include "volume/VolumeController.h"
#include "common/TextError.h"
#include "volume/TrayWheel.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr HotkeyAction Up = HotkeyAction::VolumeUp, Down = HotkeyAction::VolumeDown,
                       Mute = HotkeyAction::MuteToggle;

// A component with devices and lines, recording every property access.
struct Line {
    std::string name;
    bool valid = true;
    int32_t volume = 0;
    bool mute = false;
};

class FakeMixer : public MixerProperties {
public:
    std::vector<bool> deviceValid{true};
    std::map<int, std::vector<Line>> lines;
    int16_t device = 0;
    int16_t line = 0;
    std::vector<std::string> log;
    bool readsFail = false;   // as a component with no output to read from
    bool writesFail = false;  // as a line that takes no change
    int16_t defaultLine = -1;
    std::string refusal;  // where set, making a line the default fails with it

    bool devOutputValid() override { return note("get devOutputValid"), deviceValid.at(device); }
    bool srcOutputValid() override { return note("get srcOutputValid"), current().valid; }
    void setTimerInterval(int16_t v) override { note("put TimerInterval " + std::to_string(v)); }
    void setTimerEnabled(bool v) override
    {
        note(std::string("put TimerEnabled ") + (v ? "1" : "0"));
    }
    int16_t devOutput() override { return note("get devOutput"), device; }
    void setDevOutput(int16_t v) override
    {
        note("put devOutput " + std::to_string(v)), device = v;
    }
    int16_t devOutputMax() override
    {
        return note("get devOutputMax"), static_cast<int16_t>(deviceValid.size() - 1);
    }
    void setSrcOutput(int16_t v) override { note("put srcOutput " + std::to_string(v)), line = v; }
    int16_t srcOutputCount() override
    {
        return note("get srcOutputCount"), static_cast<int16_t>(lines[device].size());
    }
    std::string srcOutputName() override { return note("get srcOutputName"), current().name; }
    int32_t srcVolume() override { return note("get srcVolume"), read().volume; }
    void setSrcVolume(int32_t v) override
    {
        note("put srcVolume " + std::to_string(v));
        if (writesFail) throw TextError("The line refused the change.");
        current().volume = v;
    }
    bool srcMute() override { return note("get srcMute"), read().mute; }
    void setSrcMute(bool v) override
    {
        note(std::string("put srcMute ") + (v ? "1" : "0"));
        if (writesFail) throw TextError("The line refused the change.");
        current().mute = v;
    }
    int16_t defaultOutput() override { return note("get defaultOutput"), defaultLine; }
    void setDefaultOutput(int16_t v) override
    {
        note("put defaultOutput " + std::to_string(v));
        if (!refusal.empty()) throw TextError(refusal);
        defaultLine = v;
    }

    // The component keeps a line selected even on a device without lines.
    Line& current()
    {
        std::vector<Line>& own = lines[device];
        return line < static_cast<int>(own.size()) ? own[line] : spare;
    }
    Line spare;
    Line& read()
    {
        if (readsFail) throw TextError("There is no default output now.");
        return current();
    }

private:
    void note(const std::string& what) { log.push_back(what); }
};

// The window's controls, with the slider clamping as the real one does.
class FakeControls : public VolumeControls {
public:
    std::vector<std::string> channels;
    int selected = -1;
    int position = 0;
    bool muted = false;
    std::string stepUp = "10%";
    std::string stepDown = "10%";
    int trayUpdates = 0;

    void ClearChannels() override { channels.clear(), selected = -1; }
    void AddChannel(const std::string& name) override { channels.push_back(name); }
    void SelectChannel(int index) override { selected = index; }
    int SelectedChannel() const override { return selected; }
    int SliderPosition() const override { return position; }
    void SetSliderPosition(int p) override { position = p; }
    bool MuteChecked() const override { return muted; }
    void SetMuteChecked(bool checked) override { muted = checked; }
    std::string StepUpText() const override { return stepUp; }
    std::string StepDownText() const override { return stepDown; }
    void UpdateTrayIcon() override { ++trayUpdates; }
};

using Log = std::vector<std::string>;

class VolumeControllerTest : public ::testing::Test {
protected:
    FakeMixer mixer;
    FakeControls controls;
    VolumeController controller{controls, &mixer};

    void UseLines(std::vector<Line> lines) { mixer.lines[mixer.device] = std::move(lines); }
    void ListLines()
    {
        controller.RefreshLineList();
        mixer.log.clear();
    }
};

TEST_F(VolumeControllerTest, DeviceSelectionSkipsUnusableDevicesFromTheCurrentOne)
{
    mixer.deviceValid = {true, false, false, true};
    mixer.device = 1;
    controller.SelectDevice();
    EXPECT_EQ(mixer.log,
              (Log{"get devOutput", "get devOutputMax", "put devOutput 0", "get devOutputValid",
                   "put devOutput 1", "get devOutputValid", "put devOutput 2", "get devOutputValid",
                   "put devOutput 3", "get devOutputValid", "get devOutputMax", "put devOutput 3",
                   "put TimerEnabled 1", "put TimerInterval 80", "get srcVolume"}));
}

TEST_F(VolumeControllerTest, DeviceSelectionOutcomes)
{
    struct Case {
        std::vector<bool> valid;
        int16_t start;
        int16_t chosen;
    };
    const Case cases[] = {
        {{true, true}, 1, 1},           // the component's choice is usable
        {{false, true}, 0, 1},          // moves forward past an unusable one
        {{true, false}, 1, 0},          // nothing usable from the current one on: back to 0
        {{false, false, false}, 0, 0},  // nothing usable at all
        {{true, false, true}, 0, 0},    // an unusable device after the choice does not matter
    };
    for (const Case& c : cases) {
        FakeMixer m;
        m.deviceValid = c.valid;
        m.device = c.start;
        FakeControls ctl;
        VolumeController vc(ctl, &m);
        vc.SelectDevice();
        EXPECT_EQ(m.device, c.chosen) << "starting at " << c.start;
    }
}

TEST_F(VolumeControllerTest, LineListKeepsComponentIndexesOfListedLines)
{
    UseLines({{"Master", true, 1000, false}, {"Capture", false}, {"Wave", true, 2000, true}});
    controller.RefreshLineList();
    EXPECT_EQ(controls.channels, (std::vector<std::string>{"Master", "Wave"}));
    EXPECT_EQ(controller.LineIndexes(), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(controls.selected, 0);
    EXPECT_EQ(controls.position, 1000);
    EXPECT_FALSE(controls.muted);
    // The first line's volume is written back once, because the slider moved.
    EXPECT_EQ(std::vector<std::string>(mixer.log.end() - 4, mixer.log.end()),
              (Log{"put srcOutput 0", "get srcVolume", "put srcVolume 1000", "get srcMute"}));

    controls.selected = 1;
    mixer.log.clear();
    controller.comboxSourceChange();
    EXPECT_EQ(mixer.log, (Log{"put srcOutput 2", "get srcVolume", "put srcVolume 2000",
                              "get srcMute", "put srcMute 1"}));
    EXPECT_EQ(controls.position, 2000);
    EXPECT_TRUE(controls.muted);
    EXPECT_EQ(controls.trayUpdates, 1);
}

TEST_F(VolumeControllerTest, LineListWithNoLinesOrNoListedLines)
{
    controls.channels = {"old"};
    controls.selected = 0;
    controls.position = 500;
    UseLines({});
    controller.RefreshLineList();
    EXPECT_EQ(controls.channels, (std::vector<std::string>{"old"}));  // untouched
    EXPECT_EQ(mixer.log, (Log{"get srcOutputCount"}));

    UseLines({{"Capture", false}, {"Line in", false}});
    mixer.log.clear();
    controller.RefreshLineList();
    EXPECT_TRUE(controls.channels.empty());
    EXPECT_EQ(controls.selected, -1);
    EXPECT_EQ(controls.position, 500);
    EXPECT_EQ(mixer.log.back(), "get srcOutputValid");  // nothing written
}

TEST_F(VolumeControllerTest, ChannelChangeWithoutSelectionDoesNothing)
{
    UseLines({{"Master", true, 1000}});
    ListLines();
    for (int bad : {-1, 1, 7}) {
        controls.selected = bad;
        controller.comboxSourceChange();
    }
    EXPECT_TRUE(mixer.log.empty());
}

TEST_F(VolumeControllerTest, HotkeyStepsMoveTheSliderAndWriteOnlyRealChanges)
{
    UseLines({{"Master", true, 0}});
    ListLines();

    controller.HotkeyAction(Up);  // up 10 %
    EXPECT_EQ(controls.position, 6553);
    EXPECT_EQ(VolumePercent(controls.position), 9);
    for (int i = 0; i < 9; ++i)
        controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, 65530);
    controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, 65535);
    mixer.log.clear();
    controller.HotkeyAction(Up);  // already at full: read, nothing written
    EXPECT_EQ(mixer.log, Log{"get srcVolume"});
    mixer.log.clear();

    controls.position = 3000;
    controller.SliderScrolled();
    controller.HotkeyAction(Down);  // down 10 % clamps at 0
    EXPECT_EQ(controls.position, 0);
    EXPECT_EQ(mixer.log, (Log{"put srcVolume 3000", "get srcVolume", "put srcVolume 0"}));
}

TEST_F(VolumeControllerTest, StepSizesComeFromTheVisibleText)
{
    UseLines({{"Master", true, 0}});
    ListLines();
    controls.stepUp = "50%";
    controls.stepDown = "3%";
    controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, 32767);
    controller.HotkeyAction(Down);
    EXPECT_EQ(controls.position, 32767 - 1966);

    controls.stepUp = "10";  // "%" deleted: the "0" is dropped, 1 % remains
    int before = controls.position;
    controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, before + 655);

    for (const char* bad :
         {"", "%", "x%", "1 0%", "99999999999%", "\v5%", "\f-3%", " 5%", "+%", "-+5%", "0x5%"}) {
        controls.stepUp = bad;
        EXPECT_THROW(controller.HotkeyAction(Up), TextError) << bad;
    }
    EXPECT_EQ(controls.position, before + 655);
}

TEST_F(VolumeControllerTest, HugeStepsClampInsteadOfOverflowing)
{
    controls.stepUp = "2000000000%";
    controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, FullVolume);
    controls.stepDown = "-2000000000%";  // a negative down step raises
    controls.position = 0;
    controller.HotkeyAction(Down);
    EXPECT_EQ(controls.position, FullVolume);
}

TEST_F(VolumeControllerTest, MuteActionTogglesThroughTheClickHandler)
{
    UseLines({{"Master", true, 100, false}});
    ListLines();
    controller.HotkeyAction(Mute);
    EXPECT_TRUE(controls.muted);
    EXPECT_EQ(controls.position, 100);
    controller.HotkeyAction(Mute);
    EXPECT_FALSE(controls.muted);
    EXPECT_EQ(mixer.log, (Log{"get srcMute", "put srcMute 1", "get srcMute", "put srcMute 0"}));
    EXPECT_EQ(controls.trayUpdates, 2);
}

TEST_F(VolumeControllerTest, UserChangesReachTheComponent)
{
    UseLines({{"Master", true, 100}});
    ListLines();
    controls.position = 40000;
    controller.SliderScrolled();
    controller.SliderScrolled();  // a scroll message that did not move it
    controls.muted = true;
    controller.cboxMuteClick();
    EXPECT_EQ(mixer.log, (Log{"put srcVolume 40000", "put srcMute 1"}));
}

// A change the component refuses leaves the controls at what it reads, and
// the caller learns of the failure (the level display shows it).
TEST_F(VolumeControllerTest, RefusedChangesLeaveTheControlsAtTheLinesState)
{
    UseLines({{"Master", true, 30000, false}});
    ListLines();
    mixer.writesFail = true;
    EXPECT_THROW(controller.HotkeyAction(Up), TextError);
    EXPECT_THROW(controller.WheelNotches(-3), TextError);
    controls.position = 50000;  // a drag
    EXPECT_THROW(controller.SliderScrolled(), TextError);
    EXPECT_EQ(controls.position, 30000);
    controller.SliderScrolled();  // the position shown is the handled one
    EXPECT_THROW(controller.HotkeyAction(Mute), TextError);
    controls.muted = true;  // a click
    EXPECT_THROW(controller.cboxMuteClick(), TextError);
    EXPECT_FALSE(controls.muted);
    EXPECT_EQ(controls.trayUpdates, 2);
    EXPECT_EQ(mixer.lines[0][0].volume, 30000);

    mixer.readsFail = true;  // nothing to read either: back to what they showed
    controls.position = 20000;
    EXPECT_THROW(controller.SliderScrolled(), TextError);
    EXPECT_EQ(controls.position, 30000);
    controls.muted = true;
    EXPECT_THROW(controller.cboxMuteClick(), TextError);
    EXPECT_FALSE(controls.muted);
}

int32_t Units(int percent) { return static_cast<int32_t>(StepUnits(percent)); }

// Between two presses Windows makes headphones the default output (or any
// other volume control changes the line): each press starts from the line.
TEST_F(VolumeControllerTest, HotkeysStartFromTheLinesStateNow)
{
    UseLines({{"Default output", true, Units(70), false}});
    ListLines();
    Line& line = mixer.lines[0][0];
    line = {"Default output", true, Units(20), true};
    controller.HotkeyAction(Up);
    controller.HotkeyAction(Mute);
    EXPECT_EQ(line.volume, Units(20) + Units(10));
    EXPECT_FALSE(line.mute);
    EXPECT_EQ(controls.trayUpdates, 2);  // muted as read, then unmuted
    EXPECT_EQ(mixer.log, (Log{"get srcVolume", "put srcVolume " + std::to_string(line.volume),
                              "get srcMute", "put srcMute 0"}));

    mixer.readsFail = true;  // no output now: the controls' values stand
    controller.HotkeyAction(Down);
    controller.HotkeyAction(Mute);
    EXPECT_EQ(line.volume, Units(20));
    EXPECT_TRUE(line.mute);
}

// A change made elsewhere is shown and never written back; while the user
// drags the slider, the drag keeps it and only the mute follows.
TEST_F(VolumeControllerTest, FollowsTheLineWithoutWritingAndLeavesADragAlone)
{
    UseLines({{"Default output", true, Units(40), false}});
    ListLines();
    Line& line = mixer.lines[0][0];
    line = {"Default output", true, Units(20), true};
    mixer.log.clear();
    const int trayUpdates = controls.trayUpdates;
    controller.FollowLine(true);
    EXPECT_EQ(controls.position, Units(40));
    EXPECT_TRUE(controls.muted);
    controller.FollowLine(false);
    EXPECT_EQ(controls.position, Units(20));
    EXPECT_EQ(mixer.log, (Log{"get srcMute", "get srcVolume", "get srcMute"}));
    EXPECT_GT(controls.trayUpdates, trayUpdates + 1);  // the tooltip each time
}

// A notch goes to the next whole 2 % from the percent shown, whatever the
// position inside it; the hotkey keeps its step of 10 % in units.
TEST_F(VolumeControllerTest, WheelNotchesGoToWholeStepsAndHotkeysKeepTheirSize)
{
    UseLines({{"Default output", true, 19006, false}});  // 29 %
    ListLines();
    Line& line = mixer.lines[0][0];
    controller.WheelNotches(1);
    EXPECT_EQ(VolumePercent(line.volume), 31);
    EXPECT_EQ(line.volume, PercentPosition(31));
    controller.WheelNotches(1);
    EXPECT_EQ(VolumePercent(line.volume), 33);
    controller.WheelNotches(-20);
    EXPECT_EQ(line.volume, 0);
    controller.WheelNotches(1);
    EXPECT_EQ(VolumePercent(line.volume), 2);
    controller.WheelNotches(60);
    EXPECT_EQ(line.volume, FullVolume);
    line.volume = 19006;
    controller.HotkeyAction(Up);
    EXPECT_EQ(line.volume, 19006 + Units(10));
    EXPECT_EQ(VolumePercent(line.volume), 39);
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(VolumePercent(PercentPosition(percent)), percent);
}

TEST_F(VolumeControllerTest, RefreshKeepsTheChosenEntryAndShowsItsState)
{
    UseLines({{"Default output", true, 100}, {"Speakers", true, 200}});
    ListLines();
    controls.selected = 1;
    UseLines({{"Default output", true, 100}, {"Headset"}, {"Speakers", true, 900, true}});
    controller.Refresh();
    EXPECT_EQ(controls.selected, 2);
    EXPECT_EQ(controls.position, 900);
    EXPECT_TRUE(controls.muted);
    // The device selected again reads its lines afresh; what is read is
    // shown, not written back.
    EXPECT_EQ(Log(mixer.log.begin(), mixer.log.begin() + 2),
              (Log{"get devOutput", "put devOutput 0"}));
    EXPECT_EQ(Log(mixer.log.end() - 3, mixer.log.end()),
              (Log{"put srcOutput 2", "get srcVolume", "get srcMute"}));

    UseLines({{"Default output", true, 100}, {"Headset"}});  // its output gone
    controller.Refresh();
    EXPECT_EQ(controls.selected, 0);
}

// "Next output" goes round the outputs listed now, never to the entry that
// follows the default, and leaves the selected line selected.
TEST_F(VolumeControllerTest, NextOutputGoesRoundTheListedOutputs)
{
    UseLines({{"Default output", true, 100}, {"Speakers", true, 900}});
    ListLines();
    controls.selected = 1;
    UseLines({{"Default output", true, 100},
              {"HDMI", false},
              {"Headphones", true, 300, true},
              {"Speakers", true, 900}});
    mixer.defaultLine = 3;
    const OutputLevel first = controller.NextOutput();
    EXPECT_EQ(mixer.defaultLine, 2);
    EXPECT_EQ(first.Name, "Headphones");
    EXPECT_EQ(first.Position, 300);
    EXPECT_TRUE(first.Muted);
    EXPECT_EQ(mixer.line, 3);  // the selected Speakers, as before
    EXPECT_EQ(controller.NextOutput().Name, "Speakers");
    EXPECT_EQ(mixer.defaultLine, 3);

    mixer.refusal = "Windows does not let programs choose the default output here.";
    try {
        controller.NextOutput();
        ADD_FAILURE() << "no refusal";
    } catch (const TextError& e) {
        EXPECT_EQ(mixer.refusal, e.what());
    }
    EXPECT_EQ(mixer.defaultLine, 3);
}

TEST(TrayWheel, PartsOfANotchAddUpToWholeNotches)
{
    TWheelNotches sum;
    EXPECT_EQ(sum.Add(60) + sum.Add(59) + sum.Add(1), 1);
    EXPECT_EQ(sum.Add(360), 3);
    EXPECT_EQ(sum.Add(-60) + sum.Add(-70), -1);  // -130: a notch down, a part stays
    EXPECT_EQ(sum.Add(130), 1);
}

// Inside the icon's rectangle, or near where the last callback found the
// pointer however long it rests; once ended, only a callback starts it again.
TEST(TrayWheel, HoverByTheIconsRectangleOrNearTheLastCallback)
{
    TTrayHover hover;
    const ScreenRect icon{100, 10, 116, 26};
    EXPECT_FALSE(hover.StillOver({108, 18}, &icon));
    hover.PointerMovedOverIcon({108, 18});
    EXPECT_TRUE(hover.StillOver({115, 25}, &icon));
    EXPECT_FALSE(hover.StillOver({116, 18}, &icon));
    EXPECT_FALSE(hover.StillOver({108, 18}, &icon));

    hover.PointerMovedOverIcon({108, 18});
    for (int check = 0; check < 1000; ++check)
        ASSERT_TRUE(hover.StillOver({112, 14}, nullptr));
    EXPECT_FALSE(hover.StillOver({113, 14}, nullptr));
}

TEST(VolumeControllerWithoutComponent, ControlsStillWork)
{
    FakeControls controls;
    VolumeController controller(controls, nullptr);
    controller.SelectDevice();
    controller.RefreshLineList();
    controller.Refresh();
    controller.HotkeyAction(Up);
    EXPECT_EQ(controls.position, 6553);
    controller.HotkeyAction(Mute);
    EXPECT_TRUE(controls.muted);
    EXPECT_EQ(controls.trayUpdates, 1);
    EXPECT_TRUE(controls.channels.empty());
}

// A failure as the level display has room for it: its first clause.
TEST(LevelFailureText, TheFirstClauseOrNoOutput)
{
    EXPECT_EQ(LevelFailureText("No line is selected: the device has no lines."),
              "No line is selected");
    EXPECT_EQ(LevelFailureText("Element not found.\r\n"), "Element not found");
    EXPECT_EQ(LevelFailureText("There is no output now. Plug one in."), "There is no output now");
    EXPECT_EQ(LevelFailureText(""), "No output");
}

TEST(VolumePercent, TruncatesTowardsZero)
{
    EXPECT_EQ(VolumePercent(0), 0);
    EXPECT_EQ(VolumePercent(32767), 49);
    EXPECT_EQ(VolumePercent(65535), 100);
    EXPECT_EQ(VolumePercent(6553), 9);
}

}  // namespace

namespace {

TEST(TrayTipText, PercentThenChannel)
{
    EXPECT_EQ(TrayTipText(32767, "Master Volume"), "49%\rMaster Volume");
    EXPECT_EQ(TrayTipText(65535, "Wave"), "100%\rWave");
    EXPECT_EQ(TrayTipText(0, ""), "0%\r");
}

}  // namespace
