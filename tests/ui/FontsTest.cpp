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
    struct Case
    {
        const wchar_t* face;
        int points;
        bool bold;
    };
    const Case cases[] = {
        {L"Nonexistent Face 7Q", 10, true},
        {L"Nonexistent Face 7Q", 8, false},
        {L"", 12, true},
        {L"A face name far too long to fit into a font description", 9, false},
    };
    const std::wstring menuFace = MenuFace();
    ASSERT_FALSE(menuFace.empty());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "face \"" << c.face << "\" " << c.points << " pt bold " << c.bold);
        win::Font font;
        ASSERT_TRUE(ui::MakeFont(c.face, c.points, c.bold, false, false, true, font));
        const LOGFONTW description = Describe(font.Get());
        EXPECT_EQ(menuFace, description.lfFaceName);
        EXPECT_EQ(-::MulDiv(c.points, ScreenDpi(), 72), description.lfHeight);
        if (c.bold)
        {
            EXPECT_EQ(FW_BOLD, description.lfWeight);
        }
        EXPECT_EQ(CLEARTYPE_QUALITY, description.lfQuality);
    }
}
