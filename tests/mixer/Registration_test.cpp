// The component's registry entries, written under scratch classes roots so
// that the machine-wide and per-user cases can both be checked.
#include <gtest/gtest.h>

#include <string>

#include "Registration.h"

namespace {

const wchar_t* const Scratch = L"Software\\TarnMixerTests";
const std::wstring ClassKey = L"CLSID\\{E63081B5-5E90-43E2-A22D-83525CB1DC42}";
const std::wstring ServerKey = ClassKey + L"\\InprocServer32";
const std::wstring ProgIds[] = {L"TarnMixer.AudioMixer", L"TarnMixer.AudioMixer.1"};

class OpenKey {
public:
    OpenKey(const std::wstring& path, REGSAM access, bool create = true)
    {
        const std::wstring full = std::wstring(Scratch) + L"\\" + path;
        if (create)
            RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0, access, nullptr, &key_,
                            nullptr);
        else
            RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, access, &key_);
    }
    ~OpenKey()
    {
        if (key_) RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool Exists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name)
{
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return buffer;
}

DWORD Count(HKEY root, const std::wstring& path, bool values)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD keys = 0, valueCount = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &valueCount, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values ? valueCount : keys;
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, Scratch); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, Scratch); }

    void ExpectRegistered(HKEY root, const std::wstring& path)
    {
        EXPECT_EQ(L"TAudioMixer", Value(root, ClassKey, nullptr));
        EXPECT_EQ(path, Value(root, ServerKey, nullptr));
        EXPECT_EQ(L"Apartment", Value(root, ServerKey, L"ThreadingModel"));
        EXPECT_EQ(3u, Count(root, ClassKey, false));  // InprocServer32 and its two names
        EXPECT_EQ(1u, Count(root, ClassKey, true));   // its name
        EXPECT_EQ(0u, Count(root, ServerKey, false));
        EXPECT_EQ(2u, Count(root, ServerKey, true));  // path, threading model
        // Script engines find the class by name, and the class its names.
        EXPECT_EQ(ProgIds[1], Value(root, ClassKey + L"\\ProgID", nullptr));
        EXPECT_EQ(ProgIds[0], Value(root, ClassKey + L"\\VersionIndependentProgID", nullptr));
        EXPECT_EQ(ProgIds[1], Value(root, ProgIds[0] + L"\\CurVer", nullptr));
        for (const std::wstring& progId : ProgIds) {
            EXPECT_EQ(L"TAudioMixer", Value(root, progId, nullptr));
            EXPECT_EQ(ClassKey.substr(6), Value(root, progId + L"\\CLSID", nullptr));
        }
    }
};

TEST_F(RegistrationTest, RegistersMachineWideWhereThatMayBeWritten)
{
    OpenKey machine(L"Machine", KEY_ALL_ACCESS), user(L"User", KEY_ALL_ACCESS);
    const std::wstring path = L"C:\\Program Files\\Tarnbell\\TarnMixer.dll";
    ASSERT_EQ(S_OK, RegisterServer(path, {machine.get(), user.get()}));
    ExpectRegistered(machine.get(), path);
    EXPECT_FALSE(Exists(user.get(), L"CLSID"));
}

// The machine-wide root comes as null where this process may not open it
// for writing (a user without administrator rights).
TEST_F(RegistrationTest, FallsBackToTheUserWhereTheMachineRefuses)
{
    OpenKey user(L"User", KEY_ALL_ACCESS);
    const std::wstring path = L"C:\\Users\\someone\\Tarnbell\\TarnMixer.dll";
    ASSERT_EQ(S_OK, RegisterServer(path, {nullptr, user.get()}));
    ExpectRegistered(user.get(), path);
    // With no root at all to write, registration fails.
    EXPECT_EQ(E_ACCESSDENIED, RegisterServer(path, {nullptr, nullptr}));
    EXPECT_EQ(S_OK, UnregisterServer({nullptr, user.get()}));
    EXPECT_FALSE(Exists(user.get(), ClassKey));
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneRegistrationWithTheLatestPath)
{
    OpenKey root(L"Machine", KEY_ALL_ACCESS);
    ASSERT_EQ(S_OK, RegisterServer(L"C:\\old\\TarnMixer.dll", {root.get()}));
    ASSERT_EQ(S_OK, RegisterServer(L"C:\\new\\TarnMixer.dll", {root.get()}));
    ExpectRegistered(root.get(), L"C:\\new\\TarnMixer.dll");
    EXPECT_EQ(1u, Count(root.get(), L"CLSID", false));
}

TEST_F(RegistrationTest, UnregisteringRemovesExactlyWhatWasWritten)
{
    OpenKey machine(L"Machine", KEY_ALL_ACCESS), user(L"User", KEY_ALL_ACCESS);
    // Another class beside ours, and our registration in the user's root.
    OpenKey other(L"Machine\\CLSID\\{00000000-1111-2222-3333-444444444444}", KEY_ALL_ACCESS);
    ASSERT_EQ(S_OK, RegisterClassIn(user.get(), L"C:\\TarnMixer.dll"));
    ASSERT_EQ(S_OK, RegisterClassIn(machine.get(), L"C:\\TarnMixer.dll"));

    ASSERT_EQ(S_OK, UnregisterServer({machine.get(), user.get()}));
    EXPECT_FALSE(Exists(machine.get(), ClassKey));
    EXPECT_FALSE(Exists(user.get(), ClassKey));
    EXPECT_TRUE(Exists(machine.get(), L"CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_TRUE(Exists(user.get(), L"CLSID"));  // the shared parent stays
    for (const std::wstring& progId : ProgIds)
        EXPECT_FALSE(Exists(machine.get(), progId) || Exists(user.get(), progId));
    // Nothing left to remove is not an error.
    EXPECT_EQ(S_OK, UnregisterServer({machine.get(), user.get()}));
}

// A name that another program's class took over after ours stays theirs.
TEST_F(RegistrationTest, UnregisteringLeavesANameThatNamesAnotherClass)
{
    OpenKey root(L"Machine", KEY_ALL_ACCESS);
    ASSERT_EQ(S_OK, RegisterClassIn(root.get(), L"C:\\TarnMixer.dll"));
    const std::wstring other = L"{00000000-1111-2222-3333-444444444444}";
    {
        OpenKey taken(L"Machine\\" + ProgIds[0] + L"\\CLSID", KEY_ALL_ACCESS);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(taken.get(), nullptr, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(other.c_str()),
                                                static_cast<DWORD>((other.size() + 1) * 2)));
    }
    ASSERT_EQ(S_OK, UnregisterServer({root.get()}));
    EXPECT_EQ(other, Value(root.get(), ProgIds[0] + L"\\CLSID", nullptr));
    EXPECT_FALSE(Exists(root.get(), ProgIds[1]));
    EXPECT_FALSE(Exists(root.get(), ClassKey));
}

}  // namespace
