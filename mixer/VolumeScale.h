#pragma once
// The component's volume runs 0..65535. The devices keep it on scales of
// their own: a winmm control between its own bounds, a Core Audio endpoint as
// a scalar 0.0..1.0. All conversions round to the nearest value.
#include <cstdint>

#include "TarnMixerIds.h"

uint32_t VolumeToControl(uint16_t volume, uint32_t minimum, uint32_t maximum);
uint16_t VolumeFromControl(uint32_t value, uint32_t minimum, uint32_t maximum);
// Volume units one step of a control spans (at least 1).
uint16_t ControlStep(uint32_t minimum, uint32_t maximum);

// Windows shows an endpoint's level as its scalar * 100 rounded; Tarnbell
// shows a volume as volume * 100 / FullVolume truncated. Both conversions
// keep the two agreeing: a scalar reads as a volume of the percent Windows
// shows, and a volume is written as a scalar Windows shows at its percent.
// Otherwise they are as exact as a float allows.
float VolumeToScalar(uint16_t volume);
uint16_t VolumeFromScalar(float scalar);
// The least volume that shows as `percent` (0..100).
uint16_t PercentVolume(int percent);

// A device may keep a volume with less precision than it was given (a control
// with fewer steps, a level that is truncated on the way back). VolumeMemo
// remembers the last value written next to what the device kept of it, so
// that reading it back gives the written value until the device's value
// changes. A write the device did not follow (kept value further than
// `tolerance` units off) is not remembered: the device's own value is shown.
class VolumeMemo {
public:
    void Wrote(uint16_t volume, double kept, uint16_t keptVolume, uint16_t tolerance);
    uint16_t Read(double current, uint16_t currentVolume) const;

private:
    bool valid_ = false;
    uint16_t volume_ = 0;
    double kept_ = 0;
};
