// The add-on whole, in real host processes against the product service: what the buttons show, who polls
// and when, how a change reaches every instance.

#include "NorvixSystem.h"

#include "storage/DateTime.h"
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

TEST_F(StatusFlowTest, UnreachableProductHidesProtectionAndKeepsTheUpdateButtonUsable)
{
    SetSetting("KelTb.Url.Norvix.API", ClosedPortUrl());
    Host& host = StartHost();
    ASSERT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconUnknown &&
        s.title == "Norvix is unavailable"; }));
    const OverlayState update = LatestOverlay(host, 1, kUpdateButton);
    EXPECT_TRUE(update.visible);
    EXPECT_TRUE(update.enabled);
    EXPECT_EQ("Norvix is unavailable. To ensure your protection, check to make sure that your application is still "
              "installed and running",
        update.tooltip);
    const OverlayState pavise = LatestOverlay(host, 1, kPaviseButton);
    EXPECT_FALSE(pavise.visible);
    EXPECT_GE(host.Count("tab 1 attribute 103 \"visibility=\\\"false\\\"\""), 1u);
}

TEST_F(StatusFlowTest, TwoProcessesShareOneQueryPerIntervalEvenWhileOneWindowIsBusyAndBothShowEveryChange)
{
    m_service.SetDefinitions("yellow");
    m_service.SetProtection("disabled");
    Host& first = StartHost();
    Host& second = StartHost();
    for (Host* host : {&first, &second})
    {
        SCOPED_TRACE(host->Name());
        EXPECT_TRUE(WaitForOverlay(*host, 1, kUpdateButton, [](const OverlayState& s) {
            return s.icon == kIconAction && s.title == "Update Norvix" && s.enabled;
        }));
        EXPECT_TRUE(WaitForOverlay(*host, 1, kPaviseButton, [](const OverlayState& s) {
            return s.icon == kIconAction && s.title == "Pavise Deactivated" && s.visible && s.enabled;
        }));
    }

    // One window handles nothing for several intervals (2 s each): it neither reloads the file nor announces
    // what its worker found. Still no two queries come within one interval (stamped to the second: more than
    // 1 s apart).
    m_service.ClearRequests();
    ASSERT_TRUE(first.Send("busy 7000"));
    const auto queryTimes = [this] {
        std::vector<ULONGLONG> times;
        for (const auto& request : m_service.Requests())
        {
            if (request.path == "/GetStatus")
            {
                times.push_back(request.receivedAtMs);
            }
        }
        return times;
    };
    ASSERT_TRUE(testing_support::WaitFor([&] { return queryTimes().size() >= 4; }, 30000));
    const std::vector<ULONGLONG> times = queryTimes();
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
}

TEST_F(StatusFlowTest, FirstPassPollsAtOnceUnlessTheRecordWasCheckedLately)
{
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "600");
    const double now = storage::DateTime::Now().value;
    struct Case
    {
        const char* what;
        bool writeFile;
        double lastCheck;
        int status;
        size_t queries;
    };
    const Case cases[] = {
        {"no file", false, 0.0, 0, 1},
        {"never checked", true, 0.0, 0, 1},
        {"invalid date", true, now, 1, 1},
        {"checked in the future (clock set back)", true, now + 2.0, 0, 1},
        {"checked a minute ago", true, now - 60.0 / 86400.0, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ::DeleteFileW(StatusFilePath().c_str());
        if (c.writeFile)
        {
            WriteStatusFile(1, 1, c.lastCheck, c.status);
        }
        m_service.ClearRequests();
        Host& host = StartHost();
        ASSERT_EQ(1u, host.Count("startup hr=0x00000000 result=0x00000000"));
        ::Sleep(3000);
        EXPECT_EQ(c.queries, Requests("/GetStatus"));
        EXPECT_EQ(0, host.Quit());
        m_hosts.clear();
    }
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

    Host& host = StartHost();
    ASSERT_EQ(1u, host.Count("startup hr=0x00000000 result=0x00000000"));
    // A poll is due at once (no status file) but nobody may ask while the mutex is held elsewhere.
    ::Sleep(3000);
    EXPECT_EQ(0u, Requests("/GetStatus"));
    held.Release();
    EXPECT_TRUE(testing_support::WaitFor([this] { return Requests("/GetStatus") > 0; }));
}

TEST_F(StatusFlowTest, AFailingServiceIsAskedAgainOnlyAfterTheRetryInterval)
{
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "1");
    SetSetting("KelTb.Str.Norvix.Status.Retry.Interval", "4");
    m_service.SetFault(service::FaultMode::NotFound);
    Host& host = StartHost();
    ASSERT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconUnknown &&
        s.title == "Norvix is unavailable"; }));
    m_service.ClearRequests();
    ::Sleep(9000);
    // Every second would be nine; every four seconds about two.
    EXPECT_GE(Requests("/GetStatus"), 1u);
    EXPECT_LE(Requests("/GetStatus"), 3u);
}

TEST_F(StatusFlowTest, AServiceThatRedirectsForEverIsUnavailableAndHoldsNoTabOpen)
{
    // Every pass of the worker queries, so the tab closes while a query is under way.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "0");
    SetSetting("KelTb.Str.Norvix.Status.Retry.Interval", "0");
    m_service.SetFault(service::FaultMode::Loop);
    Host& host = StartHost();
    ASSERT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconUnknown &&
        s.title == "Norvix is unavailable"; })) << "the first query never ended";
    const size_t queried = Requests("/GetStatus");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Requests("/GetStatus") > queried; }, 10000));
    host.Send("close 1");
    EXPECT_TRUE(host.WaitFor("tab 1 closed", 10000)) << "closing waited for as long as the redirections went on";
}

TEST_F(StatusFlowTest, TextLabelsPreferenceHidesCaptionsAndTooltips)
{
    m_service.SetDefinitions("yellow");
    Host& host = StartHost();
    ASSERT_TRUE(
        WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState &s) { return s.title == "Update Norvix"; }));
    host.Send("pref textlabels 0");
    EXPECT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) {
        return s.icon == kIconAction && s.title.empty() && s.tooltip.empty();
    }));
    host.Send("pref textlabels 1");
    EXPECT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) {
        return s.title == "Update Norvix" && !s.tooltip.empty();
    }));
}

} // namespace
} // namespace integration
