// The volume of one program: which sessions are its own, and how a step goes
// over them.
#include <gtest/gtest.h>

#include <map>

#include "mixer/AppVolume.h"

namespace {

struct SessionState {
    uint32_t process;
    uint16_t level;
    bool muted;
};

struct FakeSystem {
    std::vector<SessionState> sessions;
    std::map<uint32_t, std::wstring> paths;
};

class FakeSession final : public AppSession {
public:
    explicit FakeSession(SessionState& state) : state_(state) {}
    uint32_t Process() const override { return state_.process; }
    uint16_t Level() override { return state_.level; }
    void SetLevel(uint16_t level) override { state_.level = level; }
    bool Muted() override { return state_.muted; }
    void SetMuted(bool muted) override { state_.muted = muted; }

private:
    SessionState& state_;
};

class FakeSessions final : public AppSessions {
public:
    explicit FakeSessions(FakeSystem& system) : system_(system) {}
    std::vector<std::unique_ptr<AppSession>> List() override
    {
        std::vector<std::unique_ptr<AppSession>> list;
        for (SessionState& state : system_.sessions)
            list.push_back(std::make_unique<FakeSession>(state));
        return list;
    }
    std::wstring ProgramPath(uint32_t process) override { return system_.paths[process]; }
    std::wstring Description(const std::wstring& path) override
    {
        return path == system_.paths[10] ? L"Surf Browser" : L"";
    }

private:
    FakeSystem& system_;
};

// A browser: a window process and a child that plays twice, a second
// install of the same file name elsewhere, another program and the system's
// sounds.
FakeSystem Browser()
{
    FakeSystem system;
    system.paths = {{10, L"C:\\Apps\\Surf\\surf.exe"},
                    {11, L"c:\\apps\\surf\\SURF.EXE"},
                    {20, L"D:\\Old\\surf.exe"},
                    {30, L"C:\\Chat\\chat.exe"}};
    system.sessions = {{11, 40000, false},
                       {11, 1000, false},
                       {20, 5000, false},
                       {30, 30000, false},
                       {0, 9, false}};
    return system;
}

}  // namespace

TEST(AppVolume, StepsMuteAndLevelGoOverEverySessionOfTheProgramsFile)
{
    FakeSystem system = Browser();
    AppVolume app(std::make_unique<FakeSessions>(system));
    app.PickProcess(10);  // the window's process, which itself plays nothing
    EXPECT_EQ(L"Surf Browser", app.DisplayName());
    EXPECT_EQ(2, app.SessionCount());  // the other install is another program
    EXPECT_EQ(40000, app.Level());
    app.Step(-3000);
    app.Step(-3000);
    EXPECT_EQ(0, system.sessions[1].level);  // each clamped on its own
    EXPECT_EQ(34000, app.Level());
    app.Step(40000);
    EXPECT_EQ(65535, system.sessions[0].level);
    EXPECT_EQ(40000, system.sessions[1].level);
    EXPECT_EQ(5000, system.sessions[2].level);
    app.SetMuted(true);
    EXPECT_FALSE(system.sessions[2].muted);  // the other install's

    // By file name, in any case, with or without ".exe": both installs.
    app.PickName(L"SURF");
    EXPECT_EQ(3, app.SessionCount());
    app.SetLevel(100);
    EXPECT_EQ(100, system.sessions[2].level);
    EXPECT_EQ(30000, system.sessions[3].level);
    EXPECT_EQ(L"chat.exe\nSURF.EXE\n", app.Programs());  // one line a file name, any case
}
