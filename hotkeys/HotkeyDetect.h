#pragma once
// The hotkey detector thread: polls the keys of the hotkey bindings every
// millisecond and posts WM_HOTKEYACTION to the target window for each
// recognised press. It registers no system hotkey and installs no hook.

#include <windows.h>

#include <atomic>

#include "common/Owned.h"
#include "hotkeys/HotkeyBinding.h"

class THotkeyDetector {
public:
    // Starts the thread at once. `bindings` must outlive the detector.
    THotkeyDetector(HWND targetWindow, const HotkeyBindings& bindings);
    // Asks the thread to stop and waits until it has ended, so that nothing
    // polls or posts once the owner goes on.
    ~THotkeyDetector();
    THotkeyDetector(const THotkeyDetector&) = delete;
    THotkeyDetector& operator=(const THotkeyDetector&) = delete;

private:
    // Asks the thread to stop after its current pause; does not wait.
    void Terminate();

    // Waits for the thread to end, then closes it.
    static void Join(HANDLE thread);

    static DWORD WINAPI Run(void* detector);
    void Execute() noexcept;

    const HWND TargetWindow;
    const HotkeyBindings& Bindings;
    std::atomic<bool> Terminated{false};
    // Last, so that it is joined before the fields the thread reads go.
    Owned<HANDLE, Join> Thread;
};
