#include "bubble/XToolbarBubbleDialog.h"

#include <gtest/gtest.h>

static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

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
