#pragma once
// The hotkey detector thread: polls the keys of the three hotkey bindings
// every millisecond and posts WM_HOTKEYACTION to the target window for each
// recognised press. It registers no system hotkey and installs no hook.

#include <windows.h>

#include <atomic>
#include <memory>

class THotkeyDetector {
    struct Token {};

public:
    // Starts the thread at once. The thread holds its own reference, so the
    // detector lives until both the caller and the finished run let go.
    static std::shared_ptr<THotkeyDetector> Start(HWND targetWindow);

    // Asks the thread to stop after its current pause; does not wait.
    void Terminate();

    THotkeyDetector(Token, HWND target);
    THotkeyDetector(const THotkeyDetector&) = delete;
    THotkeyDetector& operator=(const THotkeyDetector&) = delete;

private:
    static DWORD WINAPI Run(void* threadRef);
    void Execute() noexcept;

    const HWND TargetWindow;
    std::atomic<bool> Terminated{false};
};
