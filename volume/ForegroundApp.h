#pragma once
// The process whose program the user has in front.
#include <cstdint>

// The process of the foreground window; for a window that another process
// hosts (a Store app's frame, owned by ApplicationFrameHost.exe), the
// process of the hosted content. 0 when no window is in front.
uint32_t ForegroundAppProcess();
