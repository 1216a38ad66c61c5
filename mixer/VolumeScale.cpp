#include "VolumeScale.h"

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

float VolumeToScalar(uint16_t volume) { return static_cast<float>(volume / double{FullVolume}); }

uint16_t VolumeFromScalar(float scalar)
{
    if (!(scalar > 0.0f)) return 0;  // also NaN
    if (scalar >= 1.0f) return FullVolume;
    return static_cast<uint16_t>(std::lround(scalar * double{FullVolume}));
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
