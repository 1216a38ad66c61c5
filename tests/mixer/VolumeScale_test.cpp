// The component's 0..65535 volume against the devices' own scales.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "VolumeScale.h"

// Windows shows round(scalar * 100) %, the window volume * 100 / 65535
// truncated: every level reads as the percent Windows shows, and every
// volume is written as a level Windows shows at the window's percent. A
// volume whose own scalar Windows shows so survives the trip exactly.
TEST(VolumeScale, WindowsAndTheWindowShowTheSamePercent)
{
    auto shown = [](float scalar) { return std::lround(scalar * 100.0); };
    for (int n = 0; n <= 100; ++n)
        ASSERT_EQ(n, VolumeFromScalar(n / 100.0f) * 100 / FullVolume) << n;
    EXPECT_EQ(19006, VolumeFromScalar(0.29f));  // 19005 would show as 28 %
    for (uint32_t v = 0; v <= FullVolume; ++v) {
        const auto volume = static_cast<uint16_t>(v);
        const long percent = v * 100 / FullVolume;
        ASSERT_EQ(percent, shown(VolumeToScalar(volume))) << v;
        ASSERT_EQ(percent, VolumeFromScalar(VolumeToScalar(volume)) * 100 / FullVolume) << v;
        if (shown(v / float{FullVolume}) == percent) {
            ASSERT_EQ(v, VolumeFromScalar(VolumeToScalar(volume))) << v;
        }
    }
    EXPECT_EQ(0.0f, VolumeToScalar(0));
    EXPECT_EQ(1.0f, VolumeToScalar(65535));
}

TEST(VolumeScale, ScalarsRoundToTheNearestVolumeAndStayInRange)
{
    EXPECT_EQ(32768, VolumeFromScalar(0.5f));  // 32767.5 rounds up
    EXPECT_EQ(1, VolumeFromScalar(1.0f / 65535 * 0.6f));
    EXPECT_EQ(0, VolumeFromScalar(1.0f / 65535 * 0.4f));
    EXPECT_EQ(0, VolumeFromScalar(-0.25f));
    EXPECT_EQ(65535, VolumeFromScalar(1.5f));
    EXPECT_EQ(0, VolumeFromScalar(std::numeric_limits<float>::quiet_NaN()));
}

TEST(VolumeScale, ControlsAsFineAsTheVolumeGiveEveryValueBack)
{
    const struct {
        uint32_t minimum, maximum;
    } ranges[] = {{0, 65535}, {0, 65536}, {1000, 200000}, {0, 0xFFFFFFFFu}};
    for (const auto& r : ranges)
        for (uint32_t v = 0; v <= FullVolume; ++v)
            ASSERT_EQ(v, VolumeFromControl(
                             VolumeToControl(static_cast<uint16_t>(v), r.minimum, r.maximum),
                             r.minimum, r.maximum))
                << v << " in " << r.minimum << ".." << r.maximum;
}

TEST(VolumeScale, CoarseControlsMapToTheNearestStep)
{
    // 0..100: one step spans 655.35 volume units.
    EXPECT_EQ(0u, VolumeToControl(327, 0, 100));
    EXPECT_EQ(1u, VolumeToControl(328, 0, 100));
    EXPECT_EQ(100u, VolumeToControl(65535, 0, 100));
    EXPECT_EQ(50u, VolumeToControl(32768, 0, 100));
    EXPECT_EQ(32768, VolumeFromControl(50, 0, 100));
    EXPECT_EQ(656, ControlStep(0, 100));
    EXPECT_EQ(1, ControlStep(0, 65535));
    // Bounds not at zero; values outside them clamp.
    EXPECT_EQ(10u, VolumeToControl(0, 10, 20));
    EXPECT_EQ(20u, VolumeToControl(65535, 10, 20));
    EXPECT_EQ(0, VolumeFromControl(5, 10, 20));
    EXPECT_EQ(65535, VolumeFromControl(25, 10, 20));
    // A control without range reads as silent.
    EXPECT_EQ(0, VolumeFromControl(7, 7, 7));
}

TEST(VolumeMemo, AWrittenVolumeReadsBackWhileTheDeviceKeepsWhatItStored)
{
    // A device that truncates: 777 is kept as 776.
    VolumeMemo memo;
    EXPECT_EQ(776, memo.Read(776, 776));  // nothing written yet
    memo.Wrote(777, 776, 776, 1);
    EXPECT_EQ(777, memo.Read(776, 776));
    // Someone else moved it: the device's own value counts again.
    EXPECT_EQ(30000, memo.Read(30000, 30000));
    EXPECT_EQ(776, memo.Read(776.5, 776));
}

TEST(VolumeMemo, AWriteTheDeviceDidNotFollowIsNotRemembered)
{
    VolumeMemo memo;
    memo.Wrote(12345, 0, 0, 1);
    EXPECT_EQ(0, memo.Read(0, 0));
    // Within one step of a coarse control it is.
    memo.Wrote(12345, 19, 12452, 656);
    EXPECT_EQ(12345, memo.Read(19, 12452));
    memo.Wrote(12345, 20, 13107, 656);
    EXPECT_EQ(13107, memo.Read(20, 13107));
}
