// The product control in this process over a test toolbar, with a fake browser and a fake host whose
// addresses all point at a closed loopback port: start-ups that replace earlier ones, events and start-ups it
// refuses, a click that comes in while the control shuts down, an event while another process holds the status
// file, a host that ends the control from inside a call, and clicks whose tracking host never answers.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "StatusFileHelpers.h"

#include "Core/Controller.h"
#include "bubble/ShowInstallBubble.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "HostBrowser.h"
#include "support/FailureReports.h"
#include "support/FakeHost.h"
#include "support/ProcessThreads.h"
#include "support/TestToolbarWindow.h"
#include "support/Wait.h"
#include "toolbar/HostToolbarInterface.h"
#include "toolbar/XToolbarButtonControl.h"
#include "win/Bstr.h"
#include "win/File.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

using core_tests::Publish;

constexpr long kFirstIds[5] = {201, 202, 203, 204, 205};
constexpr long kSecondIds[5] = {301, 302, 303, 304, 305};

std::vector<testing_support::TestToolbarWindow::Button> Buttons()
{
    std::vector<testing_support::TestToolbarWindow::Button> buttons;
    for (const long id : kFirstIds)
    {
        buttons.push_back({static_cast<UINT>(id), 30});
        buttons.push_back({static_cast<UINT>(id + 100), 30});
    }
    buttons.push_back({host::kSpacerCommandId, 10});
    buttons.push_back({host::kHiddenCommandId, 20});
    return buttons;
}

BOOL CALLBACK CountDialog(HWND window, LPARAM count)
{
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, ARRAYSIZE(name));
    *reinterpret_cast<int*>(count) += std::wstring(name) == L"#32770" ? 1 : 0;
    return TRUE;
}

// The dialog windows (the install bubble is one) of the calling thread.
int DialogsOfThisThread()
{
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

class ControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        toolbar::XToolbarController::ResetPostStartUpForTesting();
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
        // Whatever an earlier run left: the install bubble counts as shown unless a test removes its file.
        bubble::XToolbarBubbleConfigFile shown;
        shown.Open(BubblePath());
        shown.GetRecord()->m_showFlag = 0;
        ASSERT_TRUE(shown.Save(false));
        m_host.settings = {{L"KelTb.Url.Norvix.API", L"http://127.0.0.1:9/"},
            {L"KelTb.Url.PaviseTracking", L"http://127.0.0.1:9/track?but=BUT_ID"},
            {L"KelTb.Url.NovrixUpdateTracking", L"http://127.0.0.1:9/track?but=BUT_ID"},
            {L"KelTb.Str.Norvix.Status.Default.Interval", L"600"}, {L"KelTb.Str.Norvix.Status.Retry.Interval", L"600"}};
        ASSERT_EQ(S_OK, core::Controller::ControllerFactory::CreateInstance(IID_IUnknown, m_object.PutVoid()));
        m_controller = dynamic_cast<core::Controller*>(m_object.Get());
        ASSERT_NE(nullptr, m_controller);
    }
    void TearDown() override
    {
        m_object.Reset();
        testing_support::PumpFor(0);
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
        (void)win::File::Remove(BubblePath());
    }

    static std::wstring BubblePath()
    {
        return platform::GetWriteableFolder(L"KelToolbar", TRUE) + bubble::kInstallBubbleFileName;
    }

    HRESULT Start(const long (&ids)[5])
    {
        return m_controller->StartupToolbar(m_browser.Get(), &m_host, ids[0], ids[1], ids[2], ids[3], ids[4]);
    }

    static std::int32_t StoredNorvixStatus()
    {
        return core_tests::Stored(core::SharedStatusFile::DefaultPath())
            .value_or(core::StatusRecord{0, -99, {}})
            .norvixStatus;
    }

    // A press and a release on the overlay of a button, as the mouse gives them. The click may end the control:
    // nothing of it is touched afterwards.
    void ClickOverlay(const wchar_t* buttonName)
    {
        const toolbar::XToolbarButtonControl* button = m_controller->FindButtonControl(buttonName);
        ASSERT_TRUE(button && button->IsWindow());
        const HWND window = button->Hwnd();
        ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }

    HRESULT SendEvent(const wchar_t* name)
    {
        win::Bstr text(name);
        VARIANT argument;
        argument.vt = VT_BSTR;
        argument.bstrVal = text.Get();
        return m_controller->OnEvent(&argument);
    }

    // Every address of the host points at a closed port: whatever the control asks of it fails, when it asks; a
    // click soon after another may find that one's tracking request still failing and drop its own.
    testing_support::ExpectFailureReports m_closedPort{
        "?127.0.0.1:9/", "?the product was not told to update", "?dropped: the last request still runs"};
    win::ComInit m_com;
    testing_support::TestToolbarWindow m_toolbar{Buttons(), 900};
    win::ComPtr<kelhost::HostBrowser> m_browser =
        win::ComPtr<kelhost::HostBrowser>::Attach(kelhost::HostBrowser::Create(nullptr, {}));
    testing_support::FakeHost m_host{m_toolbar.Toolbar()};
    win::ComPtr<IUnknown> m_object;
    core::Controller* m_controller = nullptr;
};

TEST_F(ControllerTest, ASecondStartClosesTheInstallBubbleAndForgetsTheButtonsOfTheFirst)
{
    (void)win::File::Remove(BubblePath());
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_TRUE(testing_support::WaitFor([this] { return m_controller->HasInstallBubble(); }));
    ASSERT_EQ(S_OK, Start(kSecondIds));
    EXPECT_FALSE(m_controller->HasInstallBubble());
    for (size_t i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(L"", m_controller->GetButtonName(kFirstIds[i]));
        EXPECT_NE(L"", m_controller->GetButtonName(kSecondIds[i]));
    }
    EXPECT_EQ(static_cast<UINT>(kSecondIds[2]), m_controller->GetCommandId(L"CID_PAVISE_STATUS"));
    ASSERT_EQ(2u, m_controller->ButtonControls().size());
    testing_support::PumpFor(50);
    EXPECT_FALSE(m_controller->HasInstallBubble()) << "shown once per module, not again";

    // A host that starts the control again from its answer to one of the bubble's text reads, while the bubble is
    // being made: that start closes the bubble too, once it is made, and leaves no window of it.
    (void)win::File::Remove(BubblePath());
    toolbar::XToolbarController::ResetPostStartUpForTesting();
    bool restarted = false;
    m_host.onRead = [&](const std::wstring& key) {
        if (!restarted && key == L"KelTb.Str.Install.Bubble.Message")
        {
            restarted = true;
            EXPECT_EQ(S_OK, Start(kFirstIds));
        }
    };
    ASSERT_EQ(S_OK, Start(kSecondIds));
    ASSERT_TRUE(testing_support::WaitFor([&] { return restarted; }));
    m_host.onRead = nullptr;
    testing_support::PumpFor(50);
    EXPECT_FALSE(m_controller->HasInstallBubble());
    EXPECT_EQ(0, DialogsOfThisThread()) << "the bubble's window stayed";
}

TEST_F(ControllerTest, EventsAreKnownByNameAndAStartWithoutABrowserAttachesNothing)
{
    for (const auto& [name, expected] :
        {std::pair{L"UpdateStatus2", E_NOTIMPL}, {L"StatusUpdate", E_NOTIMPL}, {L"", E_POINTER}})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_EQ(expected, SendEvent(name));
    }
    VARIANT none{};
    none.vt = VT_BSTR;
    EXPECT_EQ(E_FAIL, m_controller->OnEvent(&none)) << "a null text is no name";
    testing_support::FakeDispatch notABrowser;
    const testing_support::ExpectFailureReports refused{"no browser (IWebBrowser2) or no toolbar: refused"};
    EXPECT_EQ(E_POINTER, m_controller->StartupToolbar(&notABrowser, &m_host, 1, 2, 3, 4, 5));
    EXPECT_EQ(E_POINTER, m_controller->StartupToolbar(nullptr, &m_host, 1, 2, 3, 4, 5));
    EXPECT_EQ(nullptr, m_controller->DispatcherHwnd());
    EXPECT_EQ(0u, m_host.CallCount());
}

TEST_F(ControllerTest, AnUpdateClickDuringShutdownStartsNothing)
{
    // A click in the Update state starts the update: Updating is stored at once.
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
    m_controller->OnButtonClicked(L"CID_NORVIX_UPDATE");
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Updating), StoredNorvixStatus());
    m_controller->ShutDown();

    // The same click, come in while the control shuts down (its worker is ending), is ignored.
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
    testing_support::PostToThisThread([this] { m_controller->OnButtonClicked(L"CID_NORVIX_UPDATE"); });
    m_controller->ShutDown();
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Update), StoredNorvixStatus());
    EXPECT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
}

TEST_F(ControllerTest, AnEventWhileAnotherProcessHoldsTheFileKeepsTheWindowAnswering)
{
    Publish(core::SharedStatusFile::DefaultPath(), 1, static_cast<std::int32_t>(net::NorvixStatus::Uptodate));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));

    // Held while the event comes: it keeps the state it had, the window goes on.
    const testing_support::ExpectFailureReports reports{
        "!sourceOpened: 0x80070020", "not read, the file and the record kept"};
    win::File held = core_tests::Held(core::SharedStatusFile::DefaultPath());
    EXPECT_EQ(S_OK, SendEvent(L"UpdateStatus"));
    EXPECT_EQ(net::NorvixStatus::Uptodate, m_controller->GetNorvixStatus());
    held.Close();

    // Let go, the next event reads it.
    EXPECT_EQ(S_OK, SendEvent(L"updatestatus"));
    EXPECT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
}

TEST_F(ControllerTest, AHostThatEndsTheControlFromInsideItsOwnCallEndsItOnlyAfterTheCall)
{
    // The host closes the tab, dropping the last reference to the control, while the control is inside a call to
    // it: a settings read of its worker (fresh settings within a second), the script of the event that announces a
    // status (the first poll's answer: the service cannot be reached), a click's read of its tracking address, the
    // script of the event that an update click fires, or the install bubble's read of its title.
    enum class Inside
    {
        WorkerSettings,
        StatusEvent,
        ClickSettings,
        ClickEvent,
        BubbleText
    };
    const std::pair<const char*, Inside> cases[] = {{"a settings read of the worker", Inside::WorkerSettings},
        {"the script of a published status's event", Inside::StatusEvent},
        {"a click's settings read", Inside::ClickSettings},
        {"the script of an update click's event", Inside::ClickEvent},
        {"the install bubble's text read", Inside::BubbleText}};
    for (const auto& [name, inside] : cases)
    {
        SCOPED_TRACE(name);
        if (!m_object)
        {
            ASSERT_EQ(S_OK, core::Controller::ControllerFactory::CreateInstance(IID_IUnknown, m_object.PutVoid()));
            m_controller = dynamic_cast<core::Controller*>(m_object.Get());
        }
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
        toolbar::XToolbarController::ResetPostStartUpForTesting();
        if (inside == Inside::ClickEvent)
        {
            Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
        }
        if (inside == Inside::BubbleText)
        {
            (void)win::File::Remove(BubblePath());
        }
        bool released = false;
        bool aliveAfterRelease = false;
        HWND dispatcher = nullptr;
        const auto release = [&] {
            if (!released)
            {
                released = true;
                m_controller = nullptr;
                m_object.Reset();
                aliveAfterRelease = ::IsWindow(dispatcher) != FALSE;
            }
        };
        const auto releaseOnRead = [&](const wchar_t* trigger) {
            m_host.onRead = [&release, trigger](const std::wstring& key) {
                if (key == trigger)
                {
                    release();
                }
            };
        };
        const auto releaseInEventScript = [&] {
            m_toolbar.SetObserver([&](const testing_support::TestToolbarWindow::Message& message) {
                if (message.message == host::kMsgSetAttribute && message.wParam == 0)
                {
                    release();
                }
            });
        };
        if (inside == Inside::StatusEvent)
        {
            releaseInEventScript();
        }
        if (inside == Inside::BubbleText)
        {
            releaseOnRead(L"KelTb.Str.Install.Bubble.Title");
        }
        ASSERT_EQ(S_OK, Start(kFirstIds));
        dispatcher = m_controller->DispatcherHwnd();
        ASSERT_TRUE(::IsWindow(dispatcher));
        switch (inside)
        {
        case Inside::WorkerSettings: releaseOnRead(L"KelTb.Str.Pulling.Instance.Lock.WaitTime"); break;
        case Inside::ClickSettings:
            releaseOnRead(L"KelTb.Url.NovrixUpdateTracking");
            ClickOverlay(L"CID_NORVIX_UPDATE");
            break;
        case Inside::ClickEvent:
            releaseInEventScript();
            ClickOverlay(L"CID_NORVIX_UPDATE");
            break;
        default: break;
        }
        ASSERT_TRUE(testing_support::WaitFor([&] { return released; }, 20000));
        EXPECT_TRUE(aliveAfterRelease) << "the control went while the host's call was still running";
        EXPECT_TRUE(testing_support::WaitFor([&] { return !::IsWindow(dispatcher); })) << "nor did it go afterwards";
        m_host.onRead = nullptr;
        m_toolbar.SetObserver(nullptr);
    }
}

TEST_F(ControllerTest, AClickDuringWhichTheHostStartsTheControlAgainGoesOnAsTheClickOfItsButton)
{
    // The click's fresh settings for the worker are read before it looks at the button's name; the host starts
    // the control again from that read, which replaces every overlay, the clicked one with its name.
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    bool restarted = false;
    m_host.onRead = [&](const std::wstring& key) {
        if (!restarted && key == L"KelTb.Str.Pulling.Instance.Lock.WaitTime")
        {
            restarted = true;
            EXPECT_EQ(S_OK, Start(kFirstIds));
        }
    };
    ClickOverlay(L"CID_NORVIX_UPDATE");
    m_host.onRead = nullptr;
    ASSERT_TRUE(restarted);
    EXPECT_EQ(net::NorvixStatus::Updating, m_controller->GetNorvixStatus());
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Updating), StoredNorvixStatus());
}

TEST_F(ControllerTest, APostStartUpThatComesDuringShutdownLeavesTheInstallBubbleToTheNextWindow)
{
    // The start-up message still queued when the control begins to shut down (its wait for the worker pumps it)
    // shows nothing and saves nothing; the next window's start-up shows the bubble.
    const std::wstring bubbleFile = BubblePath();
    (void)win::File::Remove(bubbleFile);
    ASSERT_EQ(S_OK, Start(kFirstIds));
    m_controller->SetShuttingDown(TRUE);
    testing_support::PumpFor(50);
    EXPECT_FALSE(m_controller->HasInstallBubble());
    m_controller->ShutDown();
    EXPECT_FALSE(win::File::Exists(bubbleFile)) << "the once-only flag was saved";

    ASSERT_EQ(S_OK, Start(kFirstIds));
    EXPECT_TRUE(testing_support::WaitFor([this] { return m_controller->HasInstallBubble(); }));
}

TEST_F(ControllerTest, AnUpdatePollThatStillSaysUpdateTurnsTheButtonBackAndStopsTheAnimation)
{
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    const toolbar::XToolbarButtonControl* update = m_controller->FindButtonControl(L"CID_NORVIX_UPDATE");
    ASSERT_NE(nullptr, update);
    const UINT updateIcon = update->IconId();
    ClickOverlay(L"CID_NORVIX_UPDATE");
    ASSERT_TRUE(update->IsAnimating());
    ASSERT_EQ(L"Updating...", update->Title());

    // The poll during the update ("yellow" still): every window reloads the record on the event.
    Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, SendEvent(L"UpdateStatus"));
    EXPECT_FALSE(update->IsAnimating());
    EXPECT_EQ(updateIcon, update->IconId());
    EXPECT_EQ(L"Update Norvix", update->Title());
    EXPECT_NE(nullptr, ::GetPropW(update->Hwnd(), host::kOverlayEnabledProperty)) << "takes clicks again";
}

TEST_F(ControllerTest, AClickOpensItsStatesPageInThisWindowAndARefusedPageEndsAnUpdateClick)
{
    m_host.settings[L"KelTb.Url.Pavise.Navigate.Deactivated"] = L"http://127.0.0.1:9/turn-on";
    m_host.settings[L"KelTb.Url.Norvix.Navigate.Default"] = L"http://127.0.0.1:9/no-answer-yet";
    // A browser that lets messages through while it navigates: the product's answer may come in meanwhile.
    bool updateMeanwhile = false;
    m_browser = win::ComPtr<kelhost::HostBrowser>::Attach(kelhost::HostBrowser::Create(nullptr, [&](const auto&) {
        if (updateMeanwhile)
        {
            Publish(core::SharedStatusFile::DefaultPath(), 2, static_cast<std::int32_t>(net::NorvixStatus::Update));
            EXPECT_EQ(S_OK, SendEvent(L"UpdateStatus"));
        }
    }));
    Publish(core::SharedStatusFile::DefaultPath(), static_cast<std::int32_t>(net::PaviseStatus::Deactivated),
        static_cast<std::int32_t>(net::NorvixStatus::Default));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ClickOverlay(L"CID_PAVISE_STATUS");
    ClickOverlay(L"CID_NORVIX_UPDATE");
    std::vector<std::pair<std::wstring, std::wstring>> opened;
    for (const kelhost::Navigation& navigation : m_browser->Navigations())
    {
        opened.emplace_back(navigation.url, navigation.flags);
    }
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"http://127.0.0.1:9/turn-on", L"empty"}, {L"http://127.0.0.1:9/no-answer-yet", L"empty"}};
    EXPECT_EQ(expected, opened);

    // The browser refuses the page, and the answer that came in meanwhile asks for an update: the click ends.
    m_browser->RefuseNavigations(E_ACCESSDENIED);
    updateMeanwhile = true;
    const testing_support::ExpectFailureReports refused{
        "m_browser->Navigate(address.Get()", "did not open http://127.0.0.1:9/no-answer-yet; no update"};
    ClickOverlay(L"CID_NORVIX_UPDATE");
    EXPECT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Update), StoredNorvixStatus());
}

TEST_F(ControllerTest, ClicksWhoseTrackingHostNeverAnswersCostOneThreadInAll)
{
    // A tracking host whose connect never completes (its accept queue is full), clicked again and again: every
    // click waits at most its short time, and the tracking of clicks while one request is still under way is
    // dropped instead of getting a thread of its own. (The first click, while the host still answers, shows where a
    // click's tracking goes.)
    service::ProductService tracker;
    ASSERT_TRUE(tracker.Start(0));
    m_host.settings[L"KelTb.Url.PaviseTracking"] = tracker.BaseUrl() + L"track?but=BUT_ID";
    ASSERT_EQ(S_OK, Start(kFirstIds));
    m_controller->OnButtonClicked(L"CID_PAVISE_STATUS");
    ASSERT_TRUE(testing_support::WaitFor([&] { return tracker.RequestCount("/track") == 1; }));
    EXPECT_EQ("/track?but=202", tracker.Requests()[0].target);

    tracker.SetFault(service::FaultMode::Stall);
    ASSERT_TRUE(testing_support::WaitFor([&] { return tracker.IsStalled(); }));
    const testing_support::ExpectFailureReports stalled{
        "no answer within 1500 ms", "dropped: the last request still runs"};
    const size_t threadsBefore = testing_support::ThreadCount();
    for (int click = 0; click < 4; ++click)
    {
        m_controller->OnButtonClicked(L"CID_PAVISE_STATUS");
    }
    EXPECT_LE(testing_support::ThreadCount(), threadsBefore + 1);
    tracker.SetFault(service::FaultMode::None);
}

// The control belongs to the thread that made it: the test programs stop at a call from another thread.
using ControllerDeathTest = ControllerTest;

TEST_F(ControllerDeathTest, ACallFromAnotherThreadIsReportedAndStopsTheTestProgram)
{
    ASSERT_EQ(S_OK, Start(kFirstIds));
    win::ComPtr<IOleObject> object;
    ASSERT_EQ(S_OK, m_object->QueryInterface(IID_IOleObject, object.PutVoid()));
    EXPECT_DEATH(std::thread([&] { (void)object->SetClientSite(nullptr); }).join(),
        "broken rule: src/win/OleControl.cpp.*SetClientSite: called on thread");
}

}  // namespace
