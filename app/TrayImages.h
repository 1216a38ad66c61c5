#pragma once
// The images of the program's two tray icons (the main icon, plain and
// muted, and the microphones' icon) at the size the notification area shows
// now, which follows the task bar's scale, not the window's.
#include <windows.h>
#include <commctrl.h>

#include "app/WinUi.h"
#include "common/Owned.h"

class TTrayImages {
public:
    // `taskbarDpi` tells the scale the notification area is drawn at.
    explicit TTrayImages(UINT (*taskbarDpi)()) : taskbarDpi_(taskbarDpi) {}

    // Makes the images anew when the task bar's scale asks another size;
    // true if it did.
    bool Load();
    // The side of the images, in pixels.
    int Size() const;
    Icon Main(bool muted) const;
    Icon Microphones() const;

private:
    Icon Image(int index) const;

    UINT (*taskbarDpi_)();
    Owned<HIMAGELIST, ImageList_Destroy> list_;
};
