#include "bubble/XToolbarBubbleDialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace
{
constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kInk = RGB(40, 60, 80);

// A 24-bit bitmap whose pixels come from `colour(x, y)`.
win::Bitmap MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& colour)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 24, BI_RGB};
    void* bits = nullptr;
    win::Bitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
    {
        auto* row = static_cast<BYTE*>(bits) + y * stride;
        for (int x = 0; x < width; ++x)
        {
            const COLORREF c = colour(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    return bitmap;
}

win::Bitmap Solid(int width, int height)
{
    return MakeBitmap(width, height, [](int, int) { return kInk; });
}
} // namespace

TEST(BubbleFrame, PiecesOfUnequalSizesAreAlignedOnTheTopLeftCornersBottom)
{
    // A tall top-left corner (it carries the pointer), a short top-right one, edges of their own heights.
    const XToolbarBubbleDialog::FrameSizes sizes = {{
        {30, 20},  // 1 top-left
        {8, 6},    // 2 top-right
        {1, 5},    // 3 top edge
        {7, 9},    // 4 bottom-left
        {11, 10},  // 5 bottom-right
        {1, 4},    // 6 bottom edge
        {3, 1},    // 7 left edge (width from piece 4)
        {2, 1},    // 8 right edge (width from piece 2)
    }};
    const RECT client{0, 0, 200, 100};
    RECT inner{};
    const auto rects = XToolbarBubbleDialog::PlaceFrame(client, sizes, inner);
    const RECT expected[] = {
        {0, 0, 30, 20},
        {192, 14, 200, 20},
        {30, 15, 192, 20},
        {0, 91, 7, 100},
        {189, 90, 200, 100},
        {7, 96, 189, 100},
        {0, 20, 7, 91},
        {192, 20, 200, 90},
    };
    for (std::size_t i = 0; i < rects.size(); ++i)
    {
        SCOPED_TRACE(testing::Message() << "piece " << i + 1);
        EXPECT_EQ(expected[i], rects[i]);
    }
    EXPECT_EQ((RECT{7, 20, 192, 96}), inner);
}

TEST(BubbleFrame, RegionFollowsTheOpaquePixelsOfTheCorners)
{
    // Top-left 12 x 10: the top four rows are a pointer two pixels wide at x 6-7, the rest opaque except
    // the outermost corner pixel (0, 4). The top-right corner is 4 x 4 with its own corner pixel keyed.
    const win::Bitmap topLeft = MakeBitmap(12, 10, [](int x, int y) {
        if (y < 4)
        {
            return (x == 6 || x == 7) ? kInk : kKey;
        }
        return (x == 0 && y == 4) ? kKey : kInk;
    });
    const win::Bitmap topRight = MakeBitmap(4, 4, [](int x, int y) { return (x == 3 && y == 0) ? kKey : kInk; });
    const win::Bitmap bottomLeft = MakeBitmap(4, 4, [](int x, int y) { return (x == 0 && y == 3) ? kKey : kInk; });
    const win::Bitmap bottomRight = MakeBitmap(4, 4, [](int x, int y) { return (x == 3 && y == 3) ? kKey : kInk; });
    // Stretched pieces are taken whole, keyed pixels or not.
    const win::Bitmap top = MakeBitmap(1, 2, [](int, int) { return kKey; });
    const win::Bitmap bottom = Solid(1, 2);
    const win::Bitmap left = Solid(4, 1);
    const win::Bitmap right = Solid(4, 1);
    const std::array<HBITMAP, 8> pieces = {topLeft.Get(), topRight.Get(), top.Get(), bottomLeft.Get(),
        bottomRight.Get(), bottom.Get(), left.Get(), right.Get()};
    const RECT client{0, 0, 40, 30};
    const win::RegionHandle region = XToolbarBubbleDialog::BuildFrameRegion(client, pieces, kKey);
    ASSERT_TRUE(region);

    struct Probe
    {
        const char* what;
        int x;
        int y;
        bool inside;
    };
    const Probe probes[] = {
        {"pointer", 6, 0, true},
        {"beside the pointer", 5, 0, false},
        {"keyed corner pixel of the top-left piece", 0, 4, false},
        {"its neighbour", 1, 4, true},
        {"strip above the short top-right corner", 38, 2, false},
        {"strip above the top edge", 20, 3, false},
        {"top-right corner's keyed pixel", 39, 6, false},
        {"top-right corner", 38, 6, true},
        {"keyed pixel inside a stretched edge is kept", 20, 8, true},
        {"inside", 20, 15, true},
        {"left edge", 0, 15, true},
        {"bottom-left keyed pixel", 0, 29, false},
        {"bottom-right keyed pixel", 39, 29, false},
        {"bottom edge", 20, 29, true},
        {"outside the client", 40, 15, false},
    };
    for (const Probe& p : probes)
    {
        SCOPED_TRACE(p.what);
        EXPECT_EQ(p.inside, ::PtInRegion(region.Get(), p.x, p.y) != FALSE) << "at " << p.x << ", " << p.y;
    }
}
