#include "platform/OSVersion.h"

#include <gtest/gtest.h>

namespace
{

// The edges of the two families: 2000 and XP are 5.0 and 5.1 (not 5.2, not 4.0); Vista is 6.0 and everything after.
TEST(OSVersionTest, DecidesFamiliesByMajorAndMinorVersion)
{
    for (const auto& [major, minor, win2000OrXP, vistaOrLater] : {std::tuple{4ul, 0ul, FALSE, FALSE},
             {5ul, 1ul, TRUE, FALSE}, {5ul, 2ul, FALSE, FALSE}, {6ul, 0ul, FALSE, TRUE}, {10ul, 0ul, FALSE, TRUE}})
    {
        SCOPED_TRACE(::testing::Message() << "version " << major << "." << minor);
        OSVERSIONINFOEXW v{};
        v.dwPlatformId = VER_PLATFORM_WIN32_NT;
        v.dwMajorVersion = major;
        v.dwMinorVersion = minor;
        EXPECT_EQ(win2000OrXP, platform::IsWindows2000OrXP(v));
        EXPECT_EQ(vistaOrLater, platform::IsVistaOrLater(v));
    }
}

}  // namespace
