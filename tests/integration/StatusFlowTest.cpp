// The add-on whole, in real host processes against the product service: who polls and when, and how a change
// reaches every instance. What each state shows is the unit tests' business; here one path per flow.

#include "NorvixSystem.h"

#include "storage/DateTime.h"
#include "support/Wait.h"
#include "win/File.h"
#include "win/NamedMutex.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace integration
{
namespace
{

using StatusFlowTest = NorvixSystemTest;

TEST_F(StatusFlowTest, TwoProcessesShareOneQueryPerIntervalEvenWhileOneWindowIsBusyAndBothShowEveryChange)
{
    m_service.SetDefinitions("yellow");
    m_service.SetProtection("disabled");
    Host& first = StartHost();
    Host& second = StartHost();
    for (Host* host : {&first, &second})
    {
        SCOPED_TRACE(host->Name());
        EXPECT_TRUE(WaitForOverlay(*host, 1, kUpdateButton,
            [](const OverlayState& s) { return s.icon == kIconAction && s.title == "Update Norvix" && s.enabled; }));
        EXPECT_TRUE(WaitForOverlay(*host, 1, kPaviseButton, [](const OverlayState& s) {
            return s.icon == kIconAction && s.title == "Pavise Deactivated" && s.visible && s.enabled;
        }));
    }

    // One window handles nothing for several intervals (2 s each): it neither reloads the file nor announces
    // what its worker found. Still no two queries come within one interval (stamped to the second: more than
    // 1 s apart).
    m_service.ClearRequests();
    ASSERT_TRUE(first.Send("busy 7000"));
    ASSERT_TRUE(testing_support::WaitFor([&] { return QueryTimes().size() >= 4; }, 30000));
    const std::vector<ULONGLONG> times = QueryTimes();
    for (size_t i = 1; i < times.size(); ++i)
    {
        EXPECT_GE(times[i] - times[i - 1], 900u) << "query " << i;
    }

    m_service.SetDefinitions("green");
    m_service.SetProtection("enabled");
    for (Host* host : {&first, &second})
    {
        SCOPED_TRACE(host->Name());
        EXPECT_TRUE(WaitForOverlay(*host, 1, kUpdateButton, [](const OverlayState& s) {
            return s.icon == kIconGood && s.title == "Daily update complete" && !s.enabled;
        }));
        EXPECT_TRUE(WaitForOverlay(*host, 1, kPaviseButton, [](const OverlayState& s) {
            return s.icon == kIconGood && s.title == "Pavise Activated" && s.visible && !s.enabled;
        }));
        EXPECT_TRUE(host->WaitFor("event \"UpdateStatus\" hr=0x00000000 result=0x00000000"));
    }

    // The text labels preference takes effect at once, and back.
    second.Send("pref textlabels 0");
    EXPECT_TRUE(WaitForOverlay(second, 1, kUpdateButton,
        [](const OverlayState& s) { return s.icon == kIconGood && s.title.empty() && s.tooltip.empty(); }));
    second.Send("pref textlabels 1");
    EXPECT_TRUE(WaitForOverlay(second, 1, kUpdateButton,
        [](const OverlayState& s) { return s.title == "Daily update complete" && !s.tooltip.empty(); }));
}

TEST_F(StatusFlowTest, FirstPassPollsAtOnceUnlessTheRecordWasCheckedLately)
{
    // Without a record, a first query within the wait proves it did not wait for the ten-minute interval.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "600");
    StartHost();
    ASSERT_TRUE(testing_support::WaitFor([&] { return !QueryTimes().empty(); }, 20000));
    EXPECT_EQ(0, m_hosts.back()->Quit());
    m_hosts.clear();

    // Checked two seconds ago with an eight-second interval: the first query comes only when that is over.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "8");
    WriteStatusFile(1, 1, storage::DateTime::Now().value - 2.0 / 86400.0);
    const ULONGLONG written = ::GetTickCount64();
    m_service.ClearRequests();
    StartHost();
    ASSERT_TRUE(testing_support::WaitFor([&] { return !QueryTimes().empty(); }, 20000));
    EXPECT_GE(static_cast<LONGLONG>(QueryTimes()[0] - written), 4000);
}

TEST_F(StatusFlowTest, WhoeverHoldsTheMutexNamedAfterTheInstallationGuidDecidesWhenThereIsAQuery)
{
    // The name takes the GUID in capitals, whatever the registry holds.
    const std::wstring guid = L"{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}";
    {
        const auto macro = win::CreateRegKey(HKEY_CURRENT_USER, L"Software\\KelToolbar\\Macro");
        ASSERT_TRUE(macro && win::WriteRegString(macro.Get(), L"guid", guid));
    }
    win::NamedMutex held;
    ASSERT_TRUE(held.Create(L"KEL_PULLING_INSTANCE_" + win::ToUpper(guid)));
    ASSERT_EQ(win::NamedMutex::WaitResult::Acquired, held.Wait(0));

    // A poll is due at once (no status file), but the other holder keeps the mutex over several passes (one try
    // every 145 ms at most): nothing is asked meanwhile, and the first query comes after it let go.
    Host& host = StartHost();
    ASSERT_EQ(1u, host.Count("startup hr=0x00000000 result=0x00000000"));
    testing_support::PumpFor(600);
    EXPECT_TRUE(QueryTimes().empty());
    const ULONGLONG released = ::GetTickCount64();
    held.Release();
    ASSERT_TRUE(testing_support::WaitFor([&] { return !QueryTimes().empty(); }));
    EXPECT_GE(QueryTimes()[0], released);
}

TEST_F(StatusFlowTest, AFailingServiceIsAskedAgainOnlyAfterTheRetryInterval)
{
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "1");
    SetSetting("KelTb.Str.Norvix.Status.Retry.Interval", "4");
    m_service.SetFault(service::FaultMode::NotFound);
    StartHost();
    ASSERT_TRUE(testing_support::WaitFor([&] { return QueryTimes().size() >= 2; }, 30000));
    const std::vector<ULONGLONG> times = QueryTimes();
    EXPECT_GE(times[1] - times[0], 3000u) << "asked again by the default interval";
}

TEST_F(StatusFlowTest, AServiceThatRedirectsForEverIsUnavailableAndHoldsNoTabOpen)
{
    // Every pass of the worker queries, so the tab closes while a query is under way.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "0");
    SetSetting("KelTb.Str.Norvix.Status.Retry.Interval", "0");
    m_service.SetFault(service::FaultMode::Loop);
    Host& host = StartHost();
    ASSERT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) {
        return s.icon == kIconUnknown && s.title == "Norvix is unavailable";
    })) << "the first query never ended";
    const size_t queried = Requests("/GetStatus");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Requests("/GetStatus") > queried; }, 10000));
    host.Send("close 1");
    EXPECT_TRUE(host.WaitFor("tab 1 closed", 10000)) << "closing waited for as long as the redirections went on";
}

}  // namespace
}  // namespace integration
