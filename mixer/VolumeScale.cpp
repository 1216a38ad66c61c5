#include "VolumeScale.h"

#include <algorithm>
#include <cmath>

uint32_t VolumeToControl(uint16_t volume, uint32_t minimum, uint32_t maximum)
{
    if (maximum <= minimum) return minimum;
    const uint64_t span = maximum - minimum;
    return minimum + static_cast<uint32_t>((volume * span + FullVolume / 2) / FullVolume);
}

uint16_t VolumeFromControl(uint32_t value, uint32_t minimum, uint32_t maximum)
{
    if (maximum <= minimum || value <= minimum) return 0;
    if (value >= maximum) return FullVolume;
    const uint64_t span = maximum - minimum;
    return static_cast<uint16_t>(((value - minimum) * uint64_t{FullVolume} + span / 2) / span);
}

uint16_t ControlStep(uint32_t minimum, uint32_t maximum)
{
    if (maximum <= minimum) return FullVolume;
    const uint64_t span = maximum - minimum;
    return static_cast<uint16_t>((FullVolume + span - 1) / span);
}

namespace {

int TruncatedPercent(uint16_t volume) { return volume * 100 / FullVolume; }

}  // namespace

uint16_t PercentVolume(int percent)
{
    return static_cast<uint16_t>((percent * uint32_t{FullVolume} + 99) / 100);
}

float VolumeToScalar(uint16_t volume)
{
    const int percent = TruncatedPercent(volume);
    const double exact = volume / double{FullVolume};
    // In the upper half of a percent Windows would round up: the scalar is
    // held just under the half, well clear of the float's rounding.
    if (std::lround(exact * 100) > percent) return static_cast<float>((percent + 0.49) / 100);
    return static_cast<float>(exact);
}

uint16_t VolumeFromScalar(float scalar)
{
    if (!(scalar > 0.0f)) return 0;  // also NaN
    if (scalar >= 1.0f) return FullVolume;
    const int shown = static_cast<int>(std::lround(scalar * 100.0));
    const long nearest = std::lround(scalar * double{FullVolume});
    const long last = shown >= 100 ? FullVolume : PercentVolume(shown + 1) - 1;
    return static_cast<uint16_t>(std::clamp<long>(nearest, PercentVolume(shown), last));
}

void VolumeMemo::Wrote(uint16_t volume, double kept, uint16_t keptVolume, uint16_t tolerance)
{
    const int off = static_cast<int>(keptVolume) - static_cast<int>(volume);
    valid_ = (off >= -tolerance && off <= tolerance);
    volume_ = volume;
    kept_ = kept;
}

uint16_t VolumeMemo::Read(double current, uint16_t currentVolume) const
{
    return (valid_ && current == kept_) ? volume_ : currentVolume;
}
