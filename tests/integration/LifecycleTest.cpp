// The control's life in real host processes: the install bubble once per user, and the shared status file
// under clicks and events racing a polling worker.

#include "NorvixSystem.h"

#include "Core/StatusConfigFile.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "support/Wait.h"
#include "win/File.h"

#include <gtest/gtest.h>

namespace integration
{
namespace
{

using LifecycleTest = NorvixSystemTest;

struct DialogSearch
{
    DWORD processId;
    size_t count;
};

BOOL CALLBACK CountVisibleDialog(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    if (owner == search.processId && wcscmp(name, L"#32770") == 0 && ::IsWindowVisible(window))
    {
        ++search.count;
    }
    return TRUE;
}

// Visible dialog windows (the bubble is a modeless dialog) of a process.
size_t VisibleDialogs(DWORD processId)
{
    DialogSearch search{processId, 0};
    ::EnumWindows(&CountVisibleDialog, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

std::wstring BubbleFilePath()
{
    return GetWriteableFolder(L"KelToolbar", TRUE) + L"Norvix.install-bubble.config";
}

TEST_F(LifecycleTest, InstallBubbleShowsOnceAcrossStartsAndTabsUntilItsFileIsDeleted)
{
    win::File::Remove(BubbleFilePath());
    {
        Host& host = StartHost(2);
        // One bubble for the two tabs of the first start, and the file says it was shown.
        ASSERT_TRUE(testing_support::WaitFor([&] { return VisibleDialogs(host.Process().Id()) == 1; }, 20000));
        XToolbarBubbleConfigFile file;
        file.Open(BubbleFilePath());
        ASSERT_TRUE(file.Load(false, false));
        EXPECT_EQ(0u, file.GetRecord()->m_showFlag);
        EXPECT_EQ(0, host.Quit());
        m_hosts.clear();
    }
    {
        Host& host = StartHost();
        testing_support::PumpFor(3000);
        EXPECT_EQ(0u, VisibleDialogs(host.Process().Id()));
        EXPECT_EQ(0, host.Quit());
        m_hosts.clear();
    }
    win::File::Remove(BubbleFilePath());
    Host& host = StartHost();
    EXPECT_TRUE(testing_support::WaitFor([&] { return VisibleDialogs(host.Process().Id()) == 1; }, 20000));
}

// Two controls in one process, each with a worker polling at every pass and saving the shared file, while the
// UI thread clicks and reloads on events as fast as the host lets it: the file object is shared by the two
// threads of each control, and nothing may be lost or torn.
TEST_F(LifecycleTest, ClicksAndEventsRacingThePollingWorkersLeaveAWholeFile)
{
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "0");
    SetSetting("KelTb.Str.Norvix.Status.Update.Interval", "0");
    SetSetting("KelTb.Str.Pulling.Instance.Lock.WaitTime", "1");
    m_service.SetDefinitions("yellow");
    m_service.SetProtection("disabled");
    m_service.SetUpdateDelayMs(600000);
    Host& host = StartHost(2);
    ASSERT_TRUE(WaitForOverlay(host, 1, kUpdateButton, [](const OverlayState& s) {
        return s.icon == kIconAction && s.enabled;
    }));
    for (int round = 0; round < 150; ++round)
    {
        host.Send("click 1 update");
        host.Send("event UpdateStatus");
        host.Send("click 2 update");
        host.Send("wait 20");
    }
    host.Send("state 1");
    ASSERT_TRUE(host.WaitFor("ok state", 120000));
    EXPECT_GE(Requests("/DoUpdate"), 1u);
    EXPECT_EQ(0, host.Quit());

    StatusConfigFile file;
    file.Open(StatusFilePath());
    ASSERT_TRUE(file.Load(false, false));
    const StatusConfigStream* record = file.GetRecord();
    EXPECT_EQ(2, record->m_paviseStatus);
    EXPECT_TRUE(record->m_norvixStatus == 2 || record->m_norvixStatus == 3) << record->m_norvixStatus;
    EXPECT_NE(0.0, record->m_lastCheck.value);
}

} // namespace
} // namespace integration
