#include "platform/OSVersion.h"

#include <gtest/gtest.h>

namespace
{

TEST(OSVersionTest, DecidesFamiliesByMajorAndMinorVersion)
{
    struct Case
    {
        DWORD major, minor;
        BOOL win2000OrXP, vistaOrLater;
    };
    const Case cases[] = {
        {4, 0, FALSE, FALSE},
        {5, 0, TRUE, FALSE},
        {5, 1, TRUE, FALSE},
        {5, 2, FALSE, FALSE},
        {6, 0, FALSE, TRUE},
        {6, 3, FALSE, TRUE},
        {10, 0, FALSE, TRUE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "version " << c.major << "." << c.minor);
        OSVERSIONINFOEXW v{};
        v.dwPlatformId = VER_PLATFORM_WIN32_NT;
        v.dwMajorVersion = c.major;
        v.dwMinorVersion = c.minor;
        EXPECT_EQ(c.win2000OrXP, platform::IsWindows2000OrXP(v));
        EXPECT_EQ(c.vistaOrLater, platform::IsVistaOrLater(v));
    }
}

}  // namespace
