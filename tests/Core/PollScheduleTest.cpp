#include "Core/PollSchedule.h"

#include <gtest/gtest.h>

namespace
{

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kNow = 46000.5;  // an afternoon in 2025
const PollIntervals kIntervals{30, 60, 20};

TEST(PollScheduleTest, NeverCheckedOrInvalidRecordIsDueAtOnce)
{
    EXPECT_TRUE(IsPollDueAt(0.0, true, 0, kIntervals, kNow));
    EXPECT_TRUE(IsPollDueAt(kNow, false, 0, kIntervals, kNow));
}

TEST(PollScheduleTest, IntervalDependsOnTheDefinitionsStatus)
{
    struct Case
    {
        std::int32_t status;
        double ago;
        bool due;
    };
    const Case cases[] = {
        {1, 29, false}, {1, 30, true},     // up to date: the default interval
        {0, 29.4, false}, {0, 29.6, true}, // rounded to whole seconds
        {-2, 59, false}, {-2, 60, true},   // no connection: the retry interval
        {3, 19, false}, {3, 20, true},     // updating: the update interval
        {2, 30, true}, {-1, 30, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "status " << c.status << ", " << c.ago << " s ago");
        EXPECT_EQ(c.due, IsPollDueAt(kNow - c.ago * kSecond, true, c.status, kIntervals, kNow));
    }
}

TEST(PollScheduleTest, LastCheckInTheFutureIsDueSoAClockSetBackCannotStopPolling)
{
    EXPECT_TRUE(IsPollDueAt(kNow + 1 * kSecond, true, 1, kIntervals, kNow));
    EXPECT_TRUE(IsPollDueAt(kNow + 3.0, true, 1, kIntervals, kNow));  // three days ahead
}

TEST(PollScheduleTest, ZeroIntervalsMakeEveryPassDue)
{
    EXPECT_TRUE(IsPollDueAt(kNow, true, 1, PollIntervals{0, 0, 0}, kNow));
}

TEST(PollScheduleTest, SecondsBetweenRoundsHalvesAwayFromZeroAndClampsHugeSpans)
{
    EXPECT_EQ(2147483647, SecondsBetween(0.0, 1e9));
    EXPECT_EQ(-2147483647 - 1, SecondsBetween(1e9, 0.0));
    EXPECT_EQ(1, SecondsBetween(0.0, 0.5 * kSecond));  // half a second rounds away from zero
    EXPECT_EQ(-1, SecondsBetween(0.5 * kSecond, 0.0));
}

} // namespace
