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

TEST(PollScheduleTest, SecondsBetweenRoundsHalvesAwayFromZeroAndClampsHugeSpans)
{
    EXPECT_EQ(2147483647, core::SecondsBetween(0.0, 1e9));
    EXPECT_EQ(-2147483647 - 1, core::SecondsBetween(1e9, 0.0));
    EXPECT_EQ(1, core::SecondsBetween(0.0, 0.5 * kSecond));
    EXPECT_EQ(-1, core::SecondsBetween(0.5 * kSecond, 0.0));
}

}  // namespace
