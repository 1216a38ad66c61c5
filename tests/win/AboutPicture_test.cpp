// The About picture as it ships: the resource inside the real Tarnbell.exe is
// app/res/about.png (copied beside the tests by the build), and the Windows
// Imaging Component gives it at each size the window asks for; where that
// component is missing, OLE decodes the picture's JPEG copy. That its
// pixels are the picture's own is seen on the screen by the tray test.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/WinUi.h"
#include "app/formAbout.h"
#include "app/resource.h"
#include "common/ComClient.h"

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

// The pixels of a 24-bit DIB section, with its size.
struct Pixels {
    int Width = 0, Height = 0, Stride = 0;
    const std::uint8_t* Bits = nullptr;
    int At(int x, int y, int colour) const { return Bits[y * Stride + x * 3 + colour]; }
};

Pixels PixelsOf(const Bitmap& picture)
{
    DIBSECTION dib{};
    if (GetObjectA(picture.get(), sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 24)
        return {};
    return {dib.dsBm.bmWidth, dib.dsBm.bmHeight, dib.dsBm.bmWidthBytes,
            static_cast<const std::uint8_t*>(dib.dsBm.bmBits)};
}

class AboutPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Program) << "Tarnbell.exe beside the tests";
        ASSERT_GT(Original.size(), 8u) << "about.png beside the tests";
    }
    const ComApartment Com;
    const std::string Dir = BinaryDirectory();
    const std::vector<std::uint8_t> Original = ReadFile(Dir + "about.png");
    const Module Program{
        LoadLibraryExA((Dir + "Tarnbell.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
};

// The picture at 96 DPI and at 150 % (rows of 1350 bytes, padded to 1352):
// each pixel of the large one is near the one it grew from.
TEST_F(AboutPictureTest, ShipsThePictureAndScalesItForTheWindow)
{
    HRSRC found = FindResourceA(Program.get(), MAKEINTRESOURCEA(IDB_ABOUT), RT_RCDATA);
    ASSERT_TRUE(found);
    const auto* shipped =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(Program.get(), found)));
    EXPECT_EQ(std::vector<std::uint8_t>(shipped, shipped + SizeofResource(Program.get(), found)),
              Original);

    const Bitmap small = LoadAboutPicture(Program.get(), 300, 200);
    const Bitmap large = LoadAboutPicture(Program.get(), 450, 300);
    const Pixels one = PixelsOf(small), two = PixelsOf(large);
    ASSERT_EQ(one.Width, 300);
    ASSERT_EQ(one.Height, 200);
    ASSERT_EQ(two.Width, 450);
    ASSERT_EQ(two.Height, 300);
    long long difference = 0, range = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            for (int colour = 0; colour < 3; ++colour) {
                difference += std::abs(one.At(x, y, colour) - two.At(x * 3 / 2, y * 3 / 2, colour));
                range += std::abs(one.At(x, y, colour) - one.At(299 - x, 199 - y, colour));
            }
    EXPECT_LT(difference * 10, range) << "the large picture follows the small one";
}

// Where the imaging component is missing (Windows XP without it), the
// picture's JPEG copy in Tarnbell.exe, which OLE decodes, stands in for it.
TEST_F(AboutPictureTest, TheJpegCopyShowsThePicture)
{
    HRSRC found = FindResourceA(Program.get(), MAKEINTRESOURCEA(IDB_ABOUT_JPEG), RT_RCDATA);
    ASSERT_TRUE(found);
    const auto* jpeg = static_cast<const BYTE*>(LockResource(LoadResource(Program.get(), found)));
    const Bitmap copy = PictureFromJpeg(jpeg, SizeofResource(Program.get(), found), 300, 200);
    const Bitmap png =
        PictureFromPng(Original.data(), static_cast<DWORD>(Original.size()), 300, 200);
    const Pixels fallback = PixelsOf(copy), own = PixelsOf(png);
    ASSERT_EQ(fallback.Width, 300);
    ASSERT_EQ(fallback.Height, 200);
    long long difference = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            for (int colour = 0; colour < 3; ++colour)
                difference += std::abs(fallback.At(x, y, colour) - own.At(x, y, colour));
    EXPECT_LT(difference, 300 * 200 * 3 * 4) << "within 4 levels a colour on average";
}

// Missing or cut-short data gives no picture rather than a part of one.
TEST_F(AboutPictureTest, DamagedDataGivesNoPicture)
{
    EXPECT_FALSE(LoadAboutPicture(GetModuleHandleA(nullptr), 300, 200)) << "no such resource";
    EXPECT_TRUE(PictureFromPng(Original.data(), static_cast<DWORD>(Original.size()), 300, 200));
    EXPECT_FALSE(PictureFromPng(Original.data(), static_cast<DWORD>(Original.size() / 2), 300, 200))
        << "cut short";
}

// XP reads only uncompressed icon entries: Explorer's tile view asks for the
// 48 px one. Entries from 16 to 48 px are bitmaps, larger ones may be PNG.
TEST_F(AboutPictureTest, ProgramIconUpTo48PixelsIsUncompressed)
{
    HRSRC group = FindResourceA(Program.get(), MAKEINTRESOURCEA(IDI_TARNBELL), RT_GROUP_ICON);
    ASSERT_TRUE(group);
    const auto* directory =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(Program.get(), group)));
    const int count = directory[4] | directory[5] << 8;
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = directory + 6 + 14 * i;  // GRPICONDIRENTRY
        const int width = entry[0] ? entry[0] : 256;
        HRSRC image =
            FindResourceA(Program.get(), MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON);
        ASSERT_TRUE(image);
        const auto* bytes =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(Program.get(), image)));
        if (width <= 48) {
            EXPECT_EQ(bytes[0], sizeof(BITMAPINFOHEADER)) << width << " px";
        }
        sizes.push_back(width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256}));
}

}  // namespace
