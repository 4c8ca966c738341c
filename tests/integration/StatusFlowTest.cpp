// The add-on whole, in real host processes against the product service: who polls and when, and how a change
// reaches every instance. What each state shows, when a poll is due and how a service's faults end are the unit
// tests' business; here one path per flow.

#include "NorvixSystem.h"

#include "support/ServiceQueries.h"
#include "support/Wait.h"
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

    // One window handles nothing for several intervals: it neither reloads the file nor announces what its worker
    // found. Still no two queries come within one interval.
    m_service.ClearRequests();
    ASSERT_TRUE(first.Send("busy 7000"));
    testing_support::ExpectQueriesOneIntervalApart(m_service, 4);

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
    EXPECT_EQ(0u, Requests("/GetStatus"));
    const ULONGLONG released = ::GetTickCount64();
    held.Release();
    ASSERT_TRUE(testing_support::WaitFor([&] { return Requests("/GetStatus") > 0; }));
    EXPECT_GE(testing_support::QueryTimes(m_service)[0], released);
}

}  // namespace
}  // namespace integration
