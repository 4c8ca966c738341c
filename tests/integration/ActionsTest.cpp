// Clicks on the status buttons in real host processes: tracking, pages, the update action and its animation,
// and a tab closed while its query hangs.

#include "NorvixSystem.h"

#include "support/ProcessThreads.h"
#include "support/Wait.h"
#include "win/File.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace integration
{
namespace
{

using ActionsTest = NorvixSystemTest;

// Top-level windows of a process with a class name.
size_t WindowCount(DWORD processId, const wchar_t* className)
{
    size_t count = 0;
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, className, nullptr));)
    {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        count += owner == processId ? 1 : 0;
    }
    return count;
}

TEST_F(ActionsTest, UpdateClickAnimatesEveryInstanceAndThePollAfterTheUpdateIntervalShowsTheOutcome)
{
    // Polls due only by the update interval after the click; frames slow enough that the first one does not
    // come round again by itself while the test looks.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "600");
    SetSetting("KelTb.Str.Norvix.Status.Update.Interval", "8");
    SetSetting("KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", "2000");
    m_service.SetDefinitions("yellow");
    m_service.SetUpdateDelayMs(500);
    Host& clicked = StartHost();
    Host& other = StartHost();
    for (Host* host : {&clicked, &other})
    {
        ASSERT_TRUE(WaitForOverlay(
            *host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconAction && s.enabled; }));
    }
    m_service.ClearRequests();

    // Two quick clicks: the second finds the button disabled and sends nothing.
    clicked.Send("click 1 update");
    clicked.Send("click 1 update");
    for (Host* host : {&clicked, &other})
    {
        SCOPED_TRACE(host->Name());
        EXPECT_TRUE(WaitForOverlay(*host, 1, kUpdateButton, [](const OverlayState& s) {
            return s.icon >= kFirstFrame && s.icon <= 1033 && s.title == "Updating..." && s.tooltip.empty() &&
                !s.enabled;
        }));
    }
    // The clicked instance's worker sends the request within about a pass of its loop.
    ASSERT_TRUE(testing_support::WaitFor([&] { return Requests("/DoUpdate") == 1; }, 5000));
    ASSERT_EQ(1u, Requests("/track"));
    for (const auto& request : m_service.Requests())
    {
        EXPECT_TRUE(request.path != "/track" || request.target.find("but=203&pos=P02") != std::string::npos)
            << request.target;
    }
    EXPECT_EQ(0u, clicked.Count("navigate"));

    // An event during the animation starts it again from its first frame (otherwise 20 s away). Each frame
    // shown is a line of the host's, however soon the next one follows.
    const auto shown = [&](int icon) {
        return clicked.Count("tab 1 overlay 106 name=CID_NORVIX_UPDATE icon=" + std::to_string(icon) + " ");
    };
    ASSERT_TRUE(testing_support::WaitFor([&] { return shown(kFirstFrame + 1) > 0; }, 20000));
    const size_t firstFrames = shown(kFirstFrame);
    clicked.Send("event UpdateStatus");
    EXPECT_TRUE(clicked.WaitFor("tab 1 event \"UpdateStatus\""));
    EXPECT_TRUE(testing_support::WaitFor([&] { return shown(kFirstFrame) > firstFrames; }, 10000));

    // The next poll, due after the update interval (the default interval is ten minutes), replaces Updating with
    // the product's answer.
    for (Host* host : {&clicked, &other})
    {
        SCOPED_TRACE(host->Name());
        EXPECT_TRUE(WaitForOverlay(
            *host, 1, kUpdateButton,
            [](const OverlayState& s) { return s.icon == kIconGood && s.title == "Daily update complete"; }, 30000));
    }
    EXPECT_EQ(1u, Requests("/DoUpdate"));
    EXPECT_EQ(1u, Requests("/track"));

    // The text labels preference takes effect at once, and back.
    other.Send("pref textlabels 0");
    EXPECT_TRUE(WaitForOverlay(other, 1, kUpdateButton,
        [](const OverlayState& s) { return s.icon == kIconGood && s.title.empty() && s.tooltip.empty(); }));
    other.Send("pref textlabels 1");
    EXPECT_TRUE(WaitForOverlay(other, 1, kUpdateButton,
        [](const OverlayState& s) { return s.title == "Daily update complete" && !s.tooltip.empty(); }));
}

TEST_F(ActionsTest, AButtonThatTakesNoClickShowsItsTooltipAndAClickOutlivesAHostThatEndsOrRestartsTheControl)
{
    m_service.SetDefinitions("green");
    m_service.SetProtection("enabled");
    Host& host = StartHost();

    // Up to date: neither button takes a click, and the pointer resting on one shows its tooltip.
    ASSERT_TRUE(WaitForOverlay(
        host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconGood && !s.enabled; }));
    host.Send("hover 1 update");
    EXPECT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) {
        return s.tooltipShown && s.tooltip == "Norvix Solo edition is up to date, your PC is protected";
    }));
    host.Send("click 1 update");
    host.Send("state 1");  // after the click's messages, which the host posted before it
    ASSERT_TRUE(host.WaitFor("ok state"));
    EXPECT_EQ(0u, Requests("/track"));
    EXPECT_EQ(0u, host.Count("navigate"));

    // Out of date, protection off: the host starts the control again inside the "UpdateStatus" of the update
    // click, then closes the tab inside the web-protection click's read of its tracking address.
    m_service.SetDefinitions("yellow");
    m_service.SetProtection("disabled");
    ASSERT_TRUE(WaitForOverlay(
        host, 1, kPaviseButton, [](const OverlayState& s) { return s.icon == kIconAction && s.enabled; }));
    ASSERT_TRUE(WaitForOverlay(
        host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconAction && s.enabled; }));
    host.Send("trap 1 restart event UpdateStatus");
    host.Send("click 1 update");
    EXPECT_TRUE(host.WaitFor("tab 1 trap restart event \"UpdateStatus\""));
    EXPECT_TRUE(host.WaitFor("tab 1 startup hr=0x00000000 result=0x00000000"));
    EXPECT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) { return s.title == "Updating..."; }));
    host.Send("trap 1 close setting KelTb.Url.PaviseTracking");
    host.Send("click 1 pavise");
    EXPECT_TRUE(host.WaitFor("tab 1 trap close setting \"KelTb.Url.PaviseTracking\""));
    EXPECT_TRUE(host.WaitFor("tab 1 control released"));
    EXPECT_TRUE(host.WaitFor("tab 1 closed"));
    EXPECT_EQ(0, host.Quit());
}

TEST_F(ActionsTest, ClosingATabWhileItsQueryHangsEndsAtOnceAndLeavesNothingBehind)
{
    // The query would wait a minute for its time-out: the tab closes without waiting for it.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "0");
    SetSetting("KelTb.Str.API.HTTP.Timeout.Secs", "60");
    m_service.SetFault(service::FaultMode::Hang);
    Host& host = StartHost();
    ASSERT_EQ(1u, host.Count("tab 1 open window="));
    const std::string opened = host.FirstLine("tab 1 open window=");
    const HWND frame = reinterpret_cast<HWND>(std::stoull(ParseFields(opened)["window"], nullptr, 16));
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") > 0; }, 10000));

    const DWORD pid = host.Process().Id();
    const size_t threadsBefore = testing_support::ThreadCount(pid);
    EXPECT_EQ(1u, WindowCount(pid, L"KelToolbarForNorvixDispatcherWindow"));
    host.Send("close 1");
    // While the tab waits for its worker, its thread keeps answering messages (the wait may also be too short to
    // send any).
    while (host.Count("tab 1 control released") == 0)
    {
        DWORD_PTR result = 0;
        if (::IsWindow(frame))
        {
            // The tab may close its frame between the two calls; only a frame still there must answer.
            const LRESULT sent = ::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            const DWORD error = ::GetLastError();
            ASSERT_TRUE(sent != 0 || !::IsWindow(frame)) << "error " << error;
        }
        ::Sleep(50);
    }
    EXPECT_TRUE(host.WaitFor("tab 1 closed", 30000));

    // Its worker and its windows are gone, and nobody holds the status file any more.
    EXPECT_LT(testing_support::ThreadCount(pid), threadsBefore);
    EXPECT_EQ(0u, WindowCount(pid, L"KelToolbarForNorvixDispatcherWindow"));
    win::File file;
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            return file.Open(
                StatusFilePath(), win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::OpenExisting);
        },
        5000));
    file.Close();
    EXPECT_EQ(0, host.Quit());
}

}  // namespace
}  // namespace integration
