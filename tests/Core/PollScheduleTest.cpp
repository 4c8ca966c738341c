#include "Core/PollSchedule.h"
#include "net/ProductStatus.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

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
    struct Case
    {
        net::NorvixStatus status;
        std::int32_t interval;
    };
    for (const Case c : {Case{net::NorvixStatus::ConnectionFailure, 100}, Case{net::NorvixStatus::Error, 10},
             Case{net::NorvixStatus::Default, 10}, Case{net::NorvixStatus::Uptodate, 10},
             Case{net::NorvixStatus::Update, 10}, Case{net::NorvixStatus::Updating, 1000},
             Case{static_cast<net::NorvixStatus>(4), 10}})
    {
        const auto status = static_cast<std::int32_t>(c.status);
        SCOPED_TRACE(status);
        EXPECT_EQ(c.interval, core::PollIntervalSeconds(status, settings));
    }
}

TEST(PollScheduleTest, DueOnceTheIntervalHasPassedInWholeSeconds)
{
    struct Case
    {
        double ago;
        std::int32_t interval;
        bool due;
    };
    const Case cases[] = {
        {29, 30, false},
        {30, 30, true},
        {29.4, 30, false},
        {29.6, 30, true},
        {0, 0, true},
        {5, -1, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.ago << " s ago, interval " << c.interval);
        EXPECT_EQ(c.due, core::IsPollDueAt(kNow - c.ago * kSecond, true, c.interval, kNow));
    }
}

TEST(PollScheduleTest, LastCheckInTheFutureIsDueSoAClockSetBackCannotStopPolling)
{
    EXPECT_TRUE(core::IsPollDueAt(kNow + 1 * kSecond, true, 30, kNow));
    EXPECT_TRUE(core::IsPollDueAt(kNow + 3.0, true, 30, kNow));  // three days ahead
}

TEST(PollScheduleTest, SecondsBetweenRoundsHalvesAwayFromZeroAndClampsHugeSpans)
{
    EXPECT_EQ(2147483647, core::SecondsBetween(0.0, 1e9));
    EXPECT_EQ(-2147483647 - 1, core::SecondsBetween(1e9, 0.0));
    EXPECT_EQ(1, core::SecondsBetween(0.0, 0.5 * kSecond));
    EXPECT_EQ(-1, core::SecondsBetween(0.5 * kSecond, 0.0));
}

}  // namespace
