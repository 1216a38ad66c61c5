#pragma once
// The mouse wheel over the tray icon, as rules free of Windows: whether the
// icon is under the pointer, and whole notches out of the parts of a notch
// that high-resolution wheels send.

// One notch of the wheel, as Windows reports it (WHEEL_DELTA).
constexpr int WheelNotch = 120;

// Adds a wheel's turns up; each whole notch leaves the sum, a part stays
// for the next turn.
class TWheelNotches {
public:
    // The whole notches the sum now holds: up positive, down negative.
    int Add(int delta);
    void Clear() { rest_ = 0; }

private:
    int rest_ = 0;
};

// Screen pixels; a rectangle holds Left..Right - 1 and Top..Bottom - 1.
struct ScreenPoint {
    long X, Y;
};
struct ScreenRect {
    long Left, Top, Right, Bottom;
};

// Whether the icon counts as under the pointer. It starts to at one of the
// icon's mouse-move callbacks. Where the shell tells the icon's rectangle,
// it does for as long as the pointer is inside it; where it does not, for as
// long as the pointer stays within TouchSlack pixels of where the last
// callback found it: the shell calls back only while the pointer moves, so
// a pointer resting on the icon while the wheel turns stays hovering, however
// long it rests. Once ended, only the next callback starts it again.
class TTrayHover {
public:
    static constexpr long TouchSlack = 4;

    void PointerMovedOverIcon(ScreenPoint at);
    // Checks the pointer at `at`; `icon` is null where the shell does not
    // tell the rectangle. Ends the hover when the pointer has gone.
    bool StillOver(ScreenPoint at, const ScreenRect* icon);
    bool Hovered() const { return hovered_; }
    void End() { hovered_ = false; }

private:
    bool hovered_ = false;
    ScreenPoint seen_{0, 0};  // where the last callback found the pointer
};
