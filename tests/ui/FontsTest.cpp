#include "ui/Fonts.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace
{
int ScreenDpi()
{
    const win::WindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

LOGFONTW Describe(HFONT font)
{
    LOGFONTW description{};
    EXPECT_EQ(static_cast<int>(sizeof(description)), ::GetObjectW(font, sizeof(description), &description));
    return description;
}

std::wstring MenuFace()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    EXPECT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    return metrics.lfMenuFont.lfFaceName;
}

}  // namespace

TEST(FontMaker, FaceThatIsNotInstalledFallsBackToTheMenuFontWithTheRequestedSizeAndWeight)
{
    const std::tuple<const wchar_t*, int, bool> cases[] = {
        {L"Nonexistent Face 7Q", 10, true},
        {L"Nonexistent Face 7Q", 8, false},
        {L"", 12, true},
        {L"A face name far too long to fit into a font description", 9, false},
    };
    const std::wstring menuFace = MenuFace();
    ASSERT_FALSE(menuFace.empty());
    for (const auto& [face, points, bold] : cases)
    {
        SCOPED_TRACE(testing::Message() << "face \"" << face << "\" " << points << " pt bold " << bold);
        win::Font font;
        ASSERT_TRUE(ui::MakeFont(face, points, {.bold = bold, .clearType = true}, font));
        const LOGFONTW description = Describe(font.Get());
        EXPECT_EQ(menuFace, description.lfFaceName);
        EXPECT_EQ(-::MulDiv(points, ScreenDpi(), 72), description.lfHeight);
        if (bold)
        {
            EXPECT_EQ(FW_BOLD, description.lfWeight);
        }
        EXPECT_EQ(CLEARTYPE_QUALITY, description.lfQuality);
    }
}
