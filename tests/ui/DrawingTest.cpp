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
    struct Case
    {
        const char* name;
        bool setColour;
        COLORREF colour;
    };
    const Case cases[] = {
        {"default button face", false, 0},
        {"white", true, RGB(255, 255, 255)},
        {"dark", true, RGB(12, 34, 56)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ui::XTransparentBitmap bitmap;
        if (c.setColour)
        {
            bitmap.SetTransparentColor(c.colour);
        }
        const COLORREF key = c.setColour ? c.colour : ::GetSysColor(COLOR_BTNFACE);
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
    struct Case
    {
        const char* name;
        UINT id;
    };
    for (const Case& c : {Case{"id 0", 0}, Case{"missing id", 4711}})
    {
        SCOPED_TRACE(c.name);
        ui::XTransparentBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(IDB_TEST_KEYED));
        EXPECT_FALSE(bitmap.Load(c.id));
        EXPECT_FALSE(bitmap.IsLoaded());
        EXPECT_EQ(0, bitmap.GetSize().cx);
        EXPECT_EQ(0, bitmap.GetSize().cy);
        EXPECT_FALSE(bitmap.Reload());
    }
    ui::XTransparentBitmap named;
    EXPECT_FALSE(named.LoadNamed(L"NO_SUCH_BITMAP"));
    EXPECT_TRUE(named.LoadNamed(L"IDB_BUBBLE_DISABLED_CLOSE_BTN"));
}
