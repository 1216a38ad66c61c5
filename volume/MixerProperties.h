#pragma once
// The mixer component's properties that Tarnbell uses, as the volume
// controller sees them. On Windows the implementation is the IDispatch
// wrapper TAudioMixer (TarnMixerLib_TLB.h); tests use fakes.
// Any access may throw (the component reports an error).
#include <cstdint>
#include <string>

#include "mixer/TarnMixerIds.h"

class MixerProperties {
public:
    virtual ~MixerProperties() = default;

    virtual bool devOutputValid() = 0;
    virtual bool srcOutputValid() = 0;
    virtual void setTimerInterval(int16_t value) = 0;
    virtual void setTimerEnabled(bool value) = 0;
    virtual int16_t devOutput() = 0;
    virtual void setDevOutput(int16_t value) = 0;
    virtual int16_t devOutputMax() = 0;
    virtual void setSrcOutput(int16_t value) = 0;
    virtual int16_t srcOutputCount() = 0;
    virtual std::string srcOutputName() = 0;
    virtual int32_t srcVolume() = 0;
    virtual void setSrcVolume(int32_t value) = 0;
    virtual bool srcMute() = 0;
    virtual void setSrcMute(bool value) = 0;
    // The line of Windows' default output, -1 where none is; a write makes
    // the line the default.
    virtual int16_t defaultOutput() = 0;
    virtual void setDefaultOutput(int16_t value) = 0;
};
