#include "UiTestResources.h"

#include "ui/XTransparentBitmap.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// The pixels of a bitmap as COLORREFs, top row first.
std::vector<COLORREF> Pixels(HBITMAP bitmap, SIZE size)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<RGBQUAD> raw(static_cast<std::size_t>(size.cx * size.cy));
    const win::WindowDC screen(nullptr);
    EXPECT_EQ(size.cy, ::GetDIBits(screen.Get(), bitmap, 0, size.cy, raw.data(), &info, DIB_RGB_COLORS));
    std::vector<COLORREF> pixels;
    for (const RGBQUAD& p : raw)
    {
        pixels.push_back(RGB(p.rgbRed, p.rgbGreen, p.rgbBlue));
    }
    return pixels;
}
}  // namespace

TEST(TransparentBitmap, ExactMagentaTakesTheTransparentColourAndNearMagentaStays)
{
    const std::tuple<const char*, bool, COLORREF> cases[] = {
        {"default button face", false, 0},
        {"white", true, RGB(255, 255, 255)},
        {"dark", true, RGB(12, 34, 56)},
    };
    for (const auto& [name, setColour, colour] : cases)
    {
        SCOPED_TRACE(name);
        ui::XTransparentBitmap bitmap;
        if (setColour)
        {
            bitmap.SetTransparentColor(colour);
        }
        const COLORREF key = setColour ? colour : ::GetSysColor(COLOR_BTNFACE);
        ASSERT_TRUE(bitmap.Load(IDB_TEST_KEYED));
        const SIZE size = bitmap.GetSize();
        ASSERT_EQ(3, size.cx);
        ASSERT_EQ(2, size.cy);
        const std::vector<COLORREF> pixels = Pixels(bitmap.Get(), size);
        const std::vector<COLORREF> expected = {
            key,
            RGB(254, 0, 255),
            RGB(255, 0, 254),
            RGB(255, 1, 255),
            key,
            RGB(10, 20, 30),
        };
        EXPECT_EQ(expected, pixels);
    }
}

TEST(TransparentBitmap, NothingToLoadGivesFalseAndNoSize)
{
    for (const auto& [name, id] :
        std::initializer_list<std::tuple<const char*, UINT>>{{"id 0", 0}, {"missing id", 4711}})
    {
        SCOPED_TRACE(name);
        ui::XTransparentBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(IDB_TEST_KEYED));
        EXPECT_FALSE(bitmap.Load(id));
        EXPECT_FALSE(bitmap.IsLoaded());
        EXPECT_EQ(0, bitmap.GetSize().cx);
        EXPECT_EQ(0, bitmap.GetSize().cy);
        EXPECT_FALSE(bitmap.Reload());
    }
}
