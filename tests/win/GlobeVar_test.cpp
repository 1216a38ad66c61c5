#include "app/GlobeVar.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadMark(const std::string& dll)
{
    std::ifstream in(dll + ".mark");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TestDll(const char* name)
{
    std::string path = ExecutableDirectory() + name;
    DeleteFileA((path + ".mark").c_str());
    return path;
}

TEST(RegisterComponentServer, ReportsWhatTheServerSays)
{
    std::string ok = TestDll("regtest_ok.dll");
    EXPECT_TRUE(RegisterComponentServer(ok, true));
    EXPECT_EQ(ReadMark(ok), "register");
    EXPECT_TRUE(RegisterComponentServer(ok, false));  // S_FALSE is a success code
    EXPECT_EQ(ReadMark(ok), "unregister");

    std::string fail = TestDll("regtest_fail.dll");
    EXPECT_FALSE(RegisterComponentServer(fail, true));
    EXPECT_EQ(ReadMark(fail), "register");
    EXPECT_FALSE(RegisterComponentServer(fail, false));  // no such export

    std::string none = TestDll("regtest_none.dll");
    EXPECT_FALSE(RegisterComponentServer(none, true));
    EXPECT_EQ(ReadMark(none), "");

    EXPECT_FALSE(RegisterComponentServer(ExecutableDirectory() + "no-such-server.dll", true));
}

TEST(RegisterComponentServer, UnloadsTheServerAfterwards)
{
    std::string ok = TestDll("regtest_ok.dll");
    ASSERT_TRUE(RegisterComponentServer(ok, true));
    EXPECT_EQ(GetModuleHandleA(ok.c_str()), nullptr);
    std::string fail = TestDll("regtest_fail.dll");
    ASSERT_FALSE(RegisterComponentServer(fail, true));
    EXPECT_EQ(GetModuleHandleA(fail.c_str()), nullptr);
}

TEST(GlobeVar, Directories)
{
    std::string exeDir = ExecutableDirectory();
    ASSERT_FALSE(exeDir.empty());
    EXPECT_EQ(exeDir.back(), '\\');
    EXPECT_NE(GetFileAttributesA((exeDir + "win_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);

    std::string system = SystemDirectory();
    char expected[MAX_PATH] = {};
    GetSystemDirectoryA(expected, MAX_PATH);
    EXPECT_EQ(system, expected);
    EXPECT_NE(system.back(), '\\');
}

// A copy started as administrator keeps a normal start out, though its mark
// may not be opened.
TEST(GlobeVar, OneInstanceWhateverTheCaseAndBesideAnElevatedCopy)
{
    EXPECT_EQ(InstanceName("C:\\tb\\Tarnbell.exe"), InstanceName("c:\\TB\\TARNBELL.EXE"));
    EXPECT_FALSE(AnotherInstanceRuns(L"TbInstanceTest.exe"));
    EXPECT_TRUE(AnotherInstanceRuns(L"TbInstanceTest.exe"));

    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};  // "D:": no one may open it
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1,
                                                         &attributes.lpSecurityDescriptor, nullptr);
    HANDLE elevated = CreateMutexW(&attributes, FALSE, L"TbElevatedTest.exe");
    ASSERT_NE(elevated, nullptr);
    ASSERT_EQ(CreateMutexW(nullptr, FALSE, L"TbElevatedTest.exe"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(AnotherInstanceRuns(L"TbElevatedTest.exe"));
    CloseHandle(elevated);
    LocalFree(attributes.lpSecurityDescriptor);
}

}  // namespace
