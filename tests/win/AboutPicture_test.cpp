// The About picture as it ships: the packed resource inside the real
// Tarnbell.exe expands to exactly the pixels of app/res/about.bmp (copied
// beside the tests by the build).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Inflate.h"
#include "app/WinUi.h"
#include "app/formAbout.h"
#include "app/resource.h"

namespace {

std::string BinaryDirectory()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of('\\') + 1);
}

std::vector<std::uint8_t> ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ModuleFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

class AboutPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Program) << "Tarnbell.exe beside the tests";
        ASSERT_GT(Original.size(), 54u) << "about.bmp beside the tests";
    }
    const std::string Dir = BinaryDirectory();
    const std::vector<std::uint8_t> Original = ReadFile(Dir + "about.bmp");
    const Module Program{
        LoadLibraryExA((Dir + "Tarnbell.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
};

TEST_F(AboutPictureTest, ExpandsToTheOriginal24BitPixels)
{
    const Bitmap picture(LoadAboutPicture(Program.get()));
    ASSERT_TRUE(picture);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(picture.get(), sizeof dib, &dib), static_cast<int>(sizeof dib))
        << "a DIB section";
    EXPECT_EQ(dib.dsBm.bmWidth, 300);
    EXPECT_EQ(dib.dsBm.bmHeight, 200);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);

    std::uint32_t offset = 0;
    std::memcpy(&offset, Original.data() + 10, sizeof offset);
    const std::size_t size = 300 * 3 * 200;
    ASSERT_EQ(Original.size(), offset + size);
    const auto* pixels = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
    ASSERT_NE(pixels, nullptr);
    std::size_t differing = 0, first = size;
    for (std::size_t i = 0; i < size; ++i) {
        if (pixels[i] == Original[offset + i]) continue;
        if (!differing++) first = i;
    }
    EXPECT_EQ(differing, 0u) << "first at byte " << first << " (row " << first / 900
                             << " from the bottom)";
}

// Damaged or oversized data ends the expansion without reading or writing
// out of bounds, and yields no picture.
TEST_F(AboutPictureTest, DamagedDataIsRefused)
{
    HRSRC found = FindResourceA(Program.get(), MAKEINTRESOURCEA(IDB_ABOUT), RT_RCDATA);
    ASSERT_TRUE(found);
    const auto* packed =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(Program.get(), found)));
    const std::size_t size = SizeofResource(Program.get(), found);
    ASSERT_TRUE(packed);

    std::vector<std::uint8_t> out;
    EXPECT_TRUE(Inflate(packed, size, 1 << 20, out));
    EXPECT_EQ(out.size(), 40u + 300 * 3 * 200);
    out.clear();
    EXPECT_FALSE(Inflate(packed, size / 2, 1 << 20, out)) << "cut short";
    out.clear();
    EXPECT_FALSE(Inflate(packed, size, 1000, out)) << "past the limit";
    EXPECT_LE(out.size(), 1000u);

    std::vector<std::uint8_t> damaged(packed, packed + size);
    for (std::size_t i = 0; i < damaged.size(); i += 97)
        damaged[i] ^= 0x5A;
    out.clear();
    Inflate(damaged.data(), damaged.size(), 1 << 20, out);  // either outcome, within bounds
    EXPECT_LE(out.size(), std::size_t{1} << 20);
}

}  // namespace
