#pragma once
// The Windows builds use the compiler's Win32 thread model, whose C++ runtime
// has no std::mutex or std::condition_variable. GoogleTest needs them only for
// the notification that starts its own test threads, so this one, on a Win32
// event, takes their place (GoogleTest uses it when GTEST_HAS_NOTIFICATION_).
#include <windows.h>

namespace testing::internal {

class Notification {
public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal
