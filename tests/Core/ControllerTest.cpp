// The product control in this process over a test toolbar, with a fake browser and a fake host whose
// addresses all point at a closed loopback port: start-ups that replace earlier ones, a click that comes in
// while the control shuts down, an event while another process holds the status file, a host that ends the
// control from inside a call, and clicks whose tracking host never answers.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "Core/Controller.h"
#include "bubble/ShowInstallBubble.h"
#include "platform/BrowserUtilities.h"
#include "HostBrowser.h"
#include "support/FailureReports.h"
#include "support/FakeDispatch.h"
#include "support/ProcessThreads.h"
#include "support/TestToolbarWindow.h"
#include "support/Wait.h"
#include "toolbar/HostToolbarInterface.h"
#include "toolbar/XToolbarDispatcherWindow.h"
#include "win/Bstr.h"
#include "win/File.h"
#include "win/Scope.h"
#include "win/Thread.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>

namespace
{

constexpr long kFirstIds[5] = {201, 202, 203, 204, 205};
constexpr long kSecondIds[5] = {301, 302, 303, 304, 305};

std::vector<testing_support::TestToolbarWindow::Button> Buttons()
{
    std::vector<testing_support::TestToolbarWindow::Button> buttons;
    for (const long id : kFirstIds)
    {
        buttons.push_back({static_cast<UINT>(id), 30});
    }
    for (const long id : kSecondIds)
    {
        buttons.push_back({static_cast<UINT>(id), 30});
    }
    buttons.push_back({host::kSpacerCommandId, 10});
    buttons.push_back({host::kHiddenCommandId, 20});
    return buttons;
}

class ControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        toolbar::XToolbarController::ResetPostStartUpForTesting();
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
        m_settings[L"KelTb.Url.Norvix.API"] = L"http://127.0.0.1:9/";
        m_settings[L"KelTb.Url.PaviseTracking"] = L"http://127.0.0.1:9/track?but=BUT_ID";
        m_settings[L"KelTb.Url.NovrixUpdateTracking"] = L"http://127.0.0.1:9/track?but=BUT_ID";
        m_settings[L"KelTb.Str.Norvix.Status.Default.Interval"] = L"600";
        m_settings[L"KelTb.Str.Norvix.Status.Retry.Interval"] = L"600";
        m_host.SetHandler([this](DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result) -> HRESULT {
            switch (id)
            {
            case host::kDispidGetString:
            {
                if (m_onSettingRead)
                {
                    m_onSettingRead(arguments.at(0)->bstrVal);
                }
                const auto found = m_settings.find(arguments.at(0)->bstrVal);
                return testing_support::SetTextResult(
                    result, found != m_settings.end() ? found->second : arguments.at(1)->bstrVal);
            }
            case host::kDispidExpandMacros: return testing_support::SetTextResult(result, arguments.at(0)->bstrVal);
            case host::kDispidToolbarWindow:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(m_toolbar.Toolbar()));
                return S_OK;
            default: return DISP_E_MEMBERNOTFOUND;
            }
        });
        ASSERT_EQ(S_OK, core::Controller::ControllerFactory::CreateInstance(IID_IUnknown, m_object.PutVoid()));
        m_controller = dynamic_cast<core::Controller*>(m_object.Get());
        ASSERT_NE(nullptr, m_controller);
    }
    void TearDown() override
    {
        m_object.Reset();
        testing_support::PumpFor(0);
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
    }

    HRESULT Start(const long (&ids)[5])
    {
        return m_controller->StartupToolbar(m_browser.Get(), &m_host, ids[0], ids[1], ids[2], ids[3], ids[4]);
    }

    // The status file as another instance publishes it.
    static void Publish(std::int32_t pavise, std::int32_t norvix)
    {
        core::SharedStatusFile other;
        other.Open(core::SharedStatusFile::DefaultPath(), core::SharedStatusFile::Caller::Worker);
        ASSERT_TRUE(other.Save({true, pavise, norvix}, core::SharedStatusFile::Caller::Worker));
    }
    static std::int32_t StoredNorvixStatus()
    {
        core::SharedStatusFile reader;
        reader.Open(core::SharedStatusFile::DefaultPath(), core::SharedStatusFile::Caller::Worker);
        return reader.Record().value_or(core::StatusRecord{0, -99, {}}).norvixStatus;
    }

    HRESULT SendEvent(const wchar_t* name)
    {
        win::Bstr text(name);
        VARIANT argument;
        argument.vt = VT_BSTR;
        argument.bstrVal = text.Get();
        return m_controller->OnEvent(&argument);
    }

    // Every address of the host points at a closed port: whatever the control asks of it fails, when it asks.
    testing_support::ExpectFailureReports m_closedPort{"?127.0.0.1:9/", "?the product was not told to update"};
    win::ComInit m_com;
    testing_support::TestToolbarWindow m_toolbar{Buttons(), 900};
    win::ComPtr<kelhost::HostBrowser> m_browser =
        win::ComPtr<kelhost::HostBrowser>::Attach(kelhost::HostBrowser::Create(nullptr, {}));
    testing_support::FakeDispatch m_host;
    std::map<std::wstring, std::wstring> m_settings;
    std::function<void(const std::wstring& key)> m_onSettingRead;
    win::ComPtr<IUnknown> m_object;
    core::Controller* m_controller = nullptr;
};

TEST_F(ControllerTest, StartUpGoesToolbarButtonMapsOverlaysFirstStateAndTheStartUpMessageAfterTheCall)
{
    std::vector<std::wstring> events;
    const auto note = [&events](const std::wstring& event) {
        if (events.empty() || events.back() != event)
        {
            events.push_back(event);
        }
    };
    m_toolbar.SetObserver([&](const testing_support::TestToolbarWindow::Message& message) {
        if (message.message == TB_ENABLEBUTTON)
        {
            // The maps are whole before the first overlay is made.
            note(m_controller->GetCommandId(L"CID_KEL_OPTIONS") == static_cast<UINT>(kFirstIds[4])
                    ? L"overlays, maps filled"
                    : L"overlays, maps not filled");
        }
        else if (message.message == host::kMsgSetAttribute && message.wParam != 0)
        {
            note(L"first state");
        }
        else if (message.message == toolbar::ToolbarPostStartUpMessage())
        {
            note(L"start-up message");
        }
    });
    ASSERT_EQ(S_OK, Start(kFirstIds));
    note(L"returned");
    ASSERT_TRUE(testing_support::WaitFor([&] { return events.back() == L"start-up message"; }));
    EXPECT_EQ(std::vector<std::wstring>({L"overlays, maps filled", L"first state", L"returned", L"start-up message"}),
        events);
}

TEST_F(ControllerTest, ASecondStartForgetsTheButtonsOfTheFirst)
{
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_EQ(S_OK, Start(kSecondIds));
    for (size_t i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(L"", m_controller->GetButtonName(kFirstIds[i]));
        EXPECT_NE(L"", m_controller->GetButtonName(kSecondIds[i]));
    }
    EXPECT_EQ(static_cast<UINT>(kSecondIds[2]), m_controller->GetCommandId(L"CID_PAVISE_STATUS"));
    ASSERT_EQ(2u, m_controller->ButtonControls().size());
}

TEST_F(ControllerTest, ASecondStartClosesTheInstallBubbleBeforeItReplacesTheToolbar)
{
    (void)win::File::Remove(platform::GetWriteableFolder(L"KelToolbar", TRUE) + bubble::kInstallBubbleFileName);
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_TRUE(testing_support::WaitFor([this] { return m_controller->HasInstallBubble(); }));
    ASSERT_EQ(S_OK, Start(kSecondIds));
    EXPECT_FALSE(m_controller->HasInstallBubble());
    testing_support::PumpFor(50);
    EXPECT_FALSE(m_controller->HasInstallBubble()) << "shown once per module, not again";
}

TEST_F(ControllerTest, AnUpdateClickDuringShutdownStartsNothing)
{
    // A click in the Update state starts the update: Updating is stored at once.
    Publish(2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
    m_controller->OnButtonClicked(L"CID_NORVIX_UPDATE");
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Updating), StoredNorvixStatus());
    m_controller->ShutDown();

    // The same click, come in while the control shuts down (its worker is ending), is ignored.
    Publish(2, static_cast<std::int32_t>(net::NorvixStatus::Update));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    ASSERT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
    testing_support::PostToThisThread([this] { m_controller->OnButtonClicked(L"CID_NORVIX_UPDATE"); });
    m_controller->ShutDown();
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Update), StoredNorvixStatus());
    EXPECT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
}

TEST_F(ControllerTest, AnEventWhileAnotherProcessHoldsTheFileKeepsTheWindowAnswering)
{
    Publish(1, static_cast<std::int32_t>(net::NorvixStatus::Uptodate));
    ASSERT_EQ(S_OK, Start(kFirstIds));
    Publish(2, static_cast<std::int32_t>(net::NorvixStatus::Update));

    // Held longer than the UI thread waits: the event keeps the state it had, the window goes on.
    const testing_support::ExpectFailureReports held{
        "!sourceOpened: 0x80070020", "not read, the file and the record kept"};
    auto file = std::make_shared<win::File>();
    ASSERT_TRUE(file->Open(core::SharedStatusFile::DefaultPath(), win::FileAccess::ReadWrite, win::FileShare::Exclusive,
        win::FileCreate::OpenExisting));
    win::Thread holder([file] {
        ::Sleep(800);
        file->Close();
        return DWORD{0};
    });
    ASSERT_TRUE(holder.Create());
    ASSERT_TRUE(holder.Resume());
    EXPECT_EQ(S_OK, SendEvent(L"UpdateStatus"));
    EXPECT_EQ(net::NorvixStatus::Uptodate, m_controller->GetNorvixStatus());
    ASSERT_TRUE(holder.Wait(INFINITE));

    // Let go, the next event reads it.
    EXPECT_EQ(S_OK, SendEvent(L"updatestatus"));
    EXPECT_EQ(net::NorvixStatus::Update, m_controller->GetNorvixStatus());
}

TEST_F(ControllerTest, AHostThatEndsTheControlFromInsideItsOwnCallEndsItOnlyAfterTheCall)
{
    // The host closes the tab, dropping the last reference to the control, while the control is inside a call to
    // it: a settings read (the worker asks for fresh settings within a second), or the script of the event that
    // announces a status (the first poll's answer: the service cannot be reached).
    for (const bool inEventScript : {false, true})
    {
        SCOPED_TRACE(inEventScript ? "inside the event's script" : "inside a settings read");
        if (!m_object)
        {
            ASSERT_EQ(S_OK, core::Controller::ControllerFactory::CreateInstance(IID_IUnknown, m_object.PutVoid()));
            m_controller = dynamic_cast<core::Controller*>(m_object.Get());
        }
        (void)win::File::Remove(core::SharedStatusFile::DefaultPath());
        ASSERT_EQ(S_OK, Start(kFirstIds));
        const HWND dispatcher = m_controller->DispatcherHwnd();
        ASSERT_TRUE(::IsWindow(dispatcher));
        bool released = false;
        bool aliveAfterRelease = false;
        const auto release = [&] {
            if (!released)
            {
                released = true;
                m_controller = nullptr;
                m_object.Reset();
                aliveAfterRelease = ::IsWindow(dispatcher) != FALSE;
            }
        };
        if (inEventScript)
        {
            m_toolbar.SetObserver([&](const testing_support::TestToolbarWindow::Message& message) {
                if (message.message == host::kMsgSetAttribute && message.wParam == 0)
                {
                    release();
                }
            });
        }
        else
        {
            m_onSettingRead = [&](const std::wstring& key) {
                if (key == L"KelTb.Str.Pulling.Instance.Lock.WaitTime")
                {
                    release();
                }
            };
        }
        ASSERT_TRUE(testing_support::WaitFor([&] { return released; }, 20000));
        EXPECT_TRUE(aliveAfterRelease) << "the control went while the host's call was still running";
        EXPECT_TRUE(testing_support::WaitFor([&] { return !::IsWindow(dispatcher); })) << "nor did it go afterwards";
        m_onSettingRead = nullptr;
        m_toolbar.SetObserver(nullptr);
    }
}

TEST_F(ControllerTest, ClicksWhoseTrackingHostNeverAnswersCostOneThreadInAll)
{
    // A tracking host whose connect never completes (its accept queue is full), clicked again and again: every
    // click waits at most its short time, and the tracking of clicks while one request is still under way is
    // dropped instead of getting a thread of its own.
    service::ProductService tracker;
    ASSERT_TRUE(tracker.Start(0));
    tracker.SetFault(service::FaultMode::Stall);
    ASSERT_TRUE(testing_support::WaitFor([&] { return tracker.IsStalled(); }));
    m_settings[L"KelTb.Url.PaviseTracking"] = tracker.BaseUrl() + L"track?but=BUT_ID";
    ASSERT_EQ(S_OK, Start(kFirstIds));
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
