#include "Core/PollSchedule.h"
#include "net/ProductStatus.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

#include <float.h>

#include <iomanip>
#include <limits>

namespace
{

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kNow = 46000.5;  // an afternoon in 2025

TEST(PollScheduleTest, NeverCheckedInvalidOrNoDateAtAllIsDueAtOnce)
{
    EXPECT_TRUE(core::IsPollDueAt(0.0, true, 600, kNow));
    EXPECT_TRUE(core::IsPollDueAt(kNow, false, 600, kNow));
    // What another process may have written into the file: none of it may stop polling for good.
    const double noDates[] = {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 1e300, -1e300, 2958466.0,
        -657435.0, std::numeric_limits<double>::denorm_min()};
    for (const double lastCheck : noDates)
    {
        SCOPED_TRACE(lastCheck);
        EXPECT_TRUE(core::IsPollDueAt(lastCheck, true, 600, kNow));
        EXPECT_TRUE(core::IsPollDueAt(lastCheck, true, std::numeric_limits<std::int32_t>::max(), kNow));
    }
}

TEST(PollScheduleTest, EachDefinitionsStatusWaitsItsOwnInterval)
{
    testing_support::FakeHostStrings host;
    host.Set(L"KelTb.Str.Norvix.Status.Default.Interval", L"10");
    host.Set(L"KelTb.Str.Norvix.Status.Retry.Interval", L"100");
    host.Set(L"KelTb.Str.Norvix.Status.Update.Interval", L"1000");
    const core::ControllerSettings settings(host);
    for (const auto& [norvix, interval] :
        {std::pair{net::NorvixStatus::ConnectionFailure, 100}, {net::NorvixStatus::Error, 10},
            {net::NorvixStatus::Default, 10}, {net::NorvixStatus::Uptodate, 10}, {net::NorvixStatus::Update, 10},
            {net::NorvixStatus::Updating, 1000}, {static_cast<net::NorvixStatus>(4), 10}})
    {
        const auto status = static_cast<std::int32_t>(norvix);
        SCOPED_TRACE(status);
        EXPECT_EQ(interval, core::PollIntervalSeconds(status, settings));
    }
}

// A last check in the future is due as well, so that a clock set back cannot stop polling.
TEST(PollScheduleTest, DueOnceTheIntervalHasPassedInWholeSecondsOrWhenTheLastCheckLiesAhead)
{
    for (const auto& [ago, interval, due] : {std::tuple{29.0, 30, false}, {30.0, 30, true}, {29.4, 30, false},
             {29.6, 30, true}, {0.0, 0, true}, {5.0, -1, true}, {-1.0, 30, true}, {-3 * 86400.0, 30, true}})
    {
        SCOPED_TRACE(::testing::Message() << ago << " s ago, interval " << interval);
        EXPECT_EQ(due, core::IsPollDueAt(kNow - ago * kSecond, true, interval, kNow));
    }
}

// The x87 precisions a 32-bit thread may work to: the one it has, and those a thread's start-up or a host's library
// may set (Direct3D 9 sets 24 bits). The 64-bit build has no such setting.
#if defined(__i386__)
const unsigned kPrecisions[] = {0, _PC_64, _PC_53, _PC_24};
#else
const unsigned kPrecisions[] = {0};
#endif

// Every build and every thread must give the same seconds, so the rows are what IEEE double arithmetic gives: the
// span in days and its product with 86400 each rounded to a double. The last rows' spans are not exact in doubles
// (a last check near 1900 against a far later time): worked with the x87 unit's 64 bits each ends a second off.
// No SCOPED_TRACE: the 32-bit suite runs this under the emulator, where a failure's debug line beside GoogleTest's
// waiting trace thread ends the process.
TEST(PollScheduleTest, SecondsBetweenRoundsHalvesAwayFromZeroClampsAndWorksInDoublesAtAnyX87Precision)
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct
    {
        double from;
        double to;
        std::int32_t seconds;
    } rows[] = {
        {46000.5, 46000.50034143518, 29},  // 29.49999967 s
        {46000.5, 46000.50034143519, 30},  // 29.50000030 s
        {46000.50034143518, 46000.5, -29}, {46000.50034143519, 46000.5, -30},
        {46000.5, 46000.500005787035, 0},  // 0.4999998 s
        {46000.5, 46000.50000578704, 1}, {46000.50000578704, 46000.5, -1}, {0.0, 0.5 * kSecond, 1},
        {0.5 * kSecond, 0.0, -1}, {0.25, 24855.384797453702, 2147483646},  // 2147483646.4999998 s
        {0.25, 24855.38480324074, kMax},  // exactly the largest
        {0.25, 24855.38480902778, kMax},  // half a second beyond it
        {0.25, -24854.884814814814, kMin},  // exactly the smallest
        {0.25, -24854.88480902778, kMin},  // -2147483647.5 s
        {0.25, -24854.884820601852, kMin},  // -2147483648.5 s
        {0.0, 1e9, kMax}, {1e9, 0.0, kMin},
        {11779.295599855011, 32528.748915827233, 1792752766},  // in doubles 1792752766.4999998 s
        {6596.487730382042, 28043.1083958913, 1852988025},  // 1852988025.4999998 s
        {4741.597065996103, 25316.666956042398, 1777686039},  // 1777686038.5 s
        {4047.511216532383, 22640.23479870831, 1606411317},  // 1606411317.4999998 s
    };
    for (const unsigned precision : kPrecisions)
    {
        std::int32_t seconds[std::size(rows)] = {};
        unsigned saved = 0;
        ASSERT_EQ(0, _controlfp_s(&saved, 0, 0));
        if (precision != 0)
        {
            unsigned set = 0;
            ASSERT_EQ(0, _controlfp_s(&set, precision, _MCW_PC));
        }
        for (std::size_t i = 0; i < std::size(rows); ++i)
        {
            seconds[i] = core::SecondsBetween(rows[i].from, rows[i].to);
        }
        unsigned restored = 0;
        ASSERT_EQ(0, precision == 0 ? 0 : _controlfp_s(&restored, saved, _MCW_PC));
        for (std::size_t i = 0; i < std::size(rows); ++i)
        {
            EXPECT_EQ(rows[i].seconds, seconds[i]) << std::setprecision(17) << "from " << rows[i].from << " to "
                                                   << rows[i].to << ", x87 precision 0x" << std::hex << precision;
        }
    }
}

}  // namespace
