#pragma once
// The volume of one program, "the app": every audio session of every process
// of its executable, on every output (a browser plays from child processes,
// a chat program may hold three sessions). Portable: the backend lists the
// sessions as they are now; which of them are the app's, and how a level, a
// step and the mute go over several, is decided here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr const char* NoAppVolumeText = "Windows XP has no volume per program.";

// One audio session as the system has it at the moment it was listed.
class AppSession {
public:
    virtual ~AppSession() = default;
    // The process playing it; 0 for the system's own sounds.
    virtual uint32_t Process() const = 0;
    // On the component's scale, 0..65535.
    virtual uint16_t Level() = 0;
    virtual void SetLevel(uint16_t level) = 0;
    virtual bool Muted() = 0;
    virtual void SetMuted(bool muted) = 0;
};

class AppSessions {
public:
    virtual ~AppSessions() = default;
    // Every live session on every active output, read afresh.
    virtual std::vector<std::unique_ptr<AppSession>> List() = 0;
    // The full path of the process's executable; empty when the process is
    // gone or may not be asked.
    virtual std::wstring ProgramPath(uint32_t process) = 0;
    // The executable's file description from its version resource, or empty.
    virtual std::wstring Description(const std::wstring& path) = 0;
};

// "C:\\Apps\\Foo.exe" -> "Foo.exe"
std::wstring FileNameOf(const std::wstring& path);
// What a user types for a program ("firefox", "Firefox.EXE") as the file name
// it means ("firefox.exe", "Firefox.EXE").
std::wstring ExecutableName(const std::wstring& name);

class AppVolume {
public:
    // `sessions` may be null (Windows XP): every use fails with NoAppVolumeText.
    explicit AppVolume(std::unique_ptr<AppSessions> sessions) : sessions_(std::move(sessions)) {}

    // The app is the program of this process: its sessions are those of
    // every process started from the same executable file.
    void PickProcess(uint32_t process);
    // The app is every process whose executable has this file name.
    void PickName(const std::wstring& name);
    // What was picked: the process (0 when picked by name) and the
    // executable's file name (empty while nothing is).
    uint32_t Process() { return Backend(), process_; }
    std::wstring Name() { return Backend(), FileNameOf(path_); }
    // Its file description, else its file name without ".exe".
    std::wstring DisplayName();

    int SessionCount();
    // The loudest session's level; fails when the app has no session.
    uint16_t Level();
    // Every session to `level`.
    void SetLevel(uint16_t level);
    // Every session from its own level by `units`, clamped.
    void Step(int32_t units);
    // True when no session plays unmuted; fails when the app has none.
    bool Muted();
    void SetMuted(bool muted);

    // The file names of the programs that have sessions now, sorted, one a
    // line ("\n" after each).
    std::wstring Programs();

private:
    using Sessions = std::vector<std::unique_ptr<AppSession>>;
    AppSessions& Backend();
    Sessions Mine();
    Sessions Sounding();  // Mine(), failing when there is none
    bool IsMine(const std::wstring& sessionPath, uint32_t sessionProcess) const;

    std::unique_ptr<AppSessions> sessions_;
    std::wstring path_;     // picked by process: the full path; by name: the file name
    uint32_t process_ = 0;  // picked by process: its id
};
