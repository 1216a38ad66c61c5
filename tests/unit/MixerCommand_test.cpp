// tarnmixer's rules: percents that read back as themselves, steps from the
// line's level, the Channel list entry a LINE picks, and the output "next"
// makes the default.
#include <gtest/gtest.h>

#include "common/NextOutput.h"
#include "mixer/MixerCommand.h"

TEST(TarnmixerPercent, EveryPercentWrittenReadsBackAsItself)
{
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(percent, PercentOfVolume(VolumeOfPercent(percent))) << percent;
    EXPECT_EQ(65535, VolumeOfPercent(100));
    // The window's 10 % step, which the window, and Windows, show as 9 %.
    EXPECT_EQ(9, PercentOfVolume(6553));
    EXPECT_EQ(19006, VolumeOfPercent(29));  // 19005 shows as 28 %
}

TEST(TarnmixerCommand, StepsClampAndLinesGoByNumberThenName)
{
    const auto target = [](std::vector<std::string> args, int current) {
        return TargetPercent(ParseMixerCommand(args), current);
    };
    EXPECT_EQ(50, target({"set", "+10"}, 40));
    EXPECT_EQ(100, target({"SET", "+150", "speak"}, 40));
    EXPECT_EQ(0, target({"set", "-10"}, 5));
    EXPECT_EQ(37, target({"set", "37"}, 90));
    for (std::vector<std::string> wrong :
         std::vector<std::vector<std::string>>{{"set", "101"},
                                               {"set", "+"},
                                               {"set", "4O"},
                                               {"set", ""},
                                               {"get", "0", "1"},
                                               {"mute"},
                                               {"mic", "on", "0"},
                                               {"app"},
                                               {"app", "x", "set"},
                                               {"app", "x", "mute"},
                                               {"app", "x", "up"},
                                               {"app", "x", "get", "0"},
                                               {}})
        EXPECT_THROW(ParseMixerCommand(wrong), ToolFailure) << wrong.size();

    // The microphones' words name their state; mute's "on" is the mute on.
    for (const char* word : {"mute", "OFF"})
        EXPECT_EQ(MicSwitch::Mute, ParseMixerCommand({"mic", word}).mic);
    for (const char* word : {"unmute", "on"})
        EXPECT_EQ(MicSwitch::Unmute, ParseMixerCommand({"mic", word}).mic);
    EXPECT_EQ(Switch::On, ParseMixerCommand({"mute", "on"}).change);

    const std::vector<std::string> names{"DEFAULT OUTPUT", "SPEAKERS (HD)", "SPEAKERS (USB)",
                                         "2 HEADSET"};
    EXPECT_EQ(1, ChooseLine(names, "SPEAK"));
    EXPECT_EQ(2, ChooseLine(names, "2"));
    EXPECT_EQ(3, ChooseLine(names, "2 H"));
    EXPECT_EQ(-1, ChooseLine(names, "4"));
    EXPECT_EQ(-1, ChooseLine(names, "HDMI"));
    EXPECT_EQ(-1, ChooseLine(names, ""));

    // A program's volume: get by default, set steps in signed volume units.
    const MixerCommand app = ParseMixerCommand({"APP", "Surf"});
    EXPECT_EQ(Verb::App, app.verb);
    EXPECT_EQ(Verb::Get, app.appVerb);
    EXPECT_EQ("Surf", app.app);
    const MixerCommand down = ParseMixerCommand({"app", "surf.exe", "set", "-10"});
    EXPECT_EQ(Verb::Set, down.appVerb);
    EXPECT_EQ(-6554, VolumeStepOfPercent(down.percent));
    EXPECT_EQ(Switch::Off, ParseMixerCommand({"app", "surf", "mute", "OFF"}).change);
}

TEST(TarnmixerCommand, DefaultTakesALineOrNextAndNextSkipsTheFollowerRoundTheList)
{
    const MixerCommand read = ParseMixerCommand({"default"});
    EXPECT_TRUE(read.verb == Verb::Default && !read.choose);
    const MixerCommand next = ParseMixerCommand({"Default", "NEXT"});
    EXPECT_TRUE(next.choose && next.next);
    const MixerCommand line = ParseMixerCommand({"default", "next2"});
    EXPECT_TRUE(line.choose && !line.next && line.line == "next2");
    EXPECT_THROW(ParseMixerCommand({"default", "1", "2"}), ToolFailure);

    const std::string follower = "Default output";
    const std::vector<std::string> channels{follower, "Headphones", "HDMI", "Speakers"};
    EXPECT_EQ(2, NextOutputEntry(channels, 1, follower));
    EXPECT_EQ(1, NextOutputEntry(channels, 3, follower));   // round, past the follower
    EXPECT_EQ(1, NextOutputEntry(channels, -1, follower));  // the default is not listed
    EXPECT_EQ(1, NextOutputEntry({follower, "Headphones"}, 1, follower));  // the only one
    EXPECT_EQ(-1, NextOutputEntry({follower}, -1, follower));
    EXPECT_EQ(-1, NextOutputEntry({}, -1, follower));
}
