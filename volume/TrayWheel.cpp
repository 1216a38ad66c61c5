#include "volume/TrayWheel.h"

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
    auto near = [](long a, long b) { return a - b <= TouchSlack && b - a <= TouchSlack; };
    const bool over =
        icon ? at.X >= icon->Left && at.X < icon->Right && at.Y >= icon->Top && at.Y < icon->Bottom
             : near(at.X, seen_.X) && near(at.Y, seen_.Y);
    hovered_ = hovered_ && over;
    return hovered_;
}
