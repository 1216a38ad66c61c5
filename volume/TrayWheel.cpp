#include "TrayWheel.h"

int TWheelNotches::Add(int delta)
{
    // Half a notch down after half a notch up is no notch at all.
    rest_ += delta;
    const int notches = rest_ / WheelNotch;
    rest_ -= notches * WheelNotch;
    return notches;
}

void TTrayHover::PointerMovedOverIcon(ScreenPoint at)
{
    hovered_ = true;
    seen_ = at;
}

bool TTrayHover::StillOver(ScreenPoint at, const ScreenRect* icon)
{
    auto within = [](long a, long b) { return a - b <= TouchSlack && b - a <= TouchSlack; };
    const bool over =
        icon ? at.X >= icon->Left && at.X < icon->Right && at.Y >= icon->Top && at.Y < icon->Bottom
             : within(at.X, seen_.X) && within(at.Y, seen_.Y);
    hovered_ = hovered_ && over;
    return hovered_;
}
