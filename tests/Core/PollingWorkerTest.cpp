// Polling workers of several instances against the product service, each with a control of its own that takes
// the worker's settings snapshots when asked (or, playing a busy window, does not) and never reloads the file:
// what the workers do they must do from the shared file and their own snapshot alone, and nothing a window or
// the service does may hold them, the mutex or their shutdown.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "StatusFileHelpers.h"

#include "Core/PollingWorker.h"
#include "support/FailureReports.h"
#include "support/FakeHostStrings.h"
#include "support/ServiceQueries.h"
#include "support/TempFolder.h"
#include "support/Wait.h"
#include "win/File.h"
#include "win/Strings.h"
#include "win/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace
{

// The window of an instance's UI thread (the thread that made the instance): a settings request posted to it is
// answered when that thread pumps its messages.
class SettingsWindow final : public win::Window
{
public:
    explicit SettingsWindow(core::PollingWorker& worker) : m_worker(worker)
    {
        EXPECT_TRUE(Create(0, L"STATIC", nullptr, 0, RECT{}, HWND_MESSAGE, 0));
    }
    bool Post() noexcept { return ::PostMessageW(Hwnd(), WM_APP, 0, 0) != FALSE; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_APP)
        {
            return Default(message, wParam, lParam);
        }
        m_worker.RefreshSettings(core::PollingWorker::Refresh::WhenAsked);
        return 0;
    }

private:
    core::PollingWorker& m_worker;
};

// One browser instance: its status file object, API client, worker and a control that plays its UI thread.
class Instance final : private core::PollingWorker::Owner
{
public:
    Instance(const std::wstring& statusPath, const std::wstring& baseUrl, const wchar_t* timeoutSecs = L"3")
    {
        m_host.Set(L"KelTb.Url.Norvix.API", baseUrl);
        m_host.Set(L"KelTb.Str.Norvix.Status.Default.Interval", L"2");
        m_host.Set(L"KelTb.Str.Norvix.Status.Retry.Interval", L"2");
        m_host.Set(L"KelTb.Str.API.HTTP.Timeout.Secs", timeoutSecs);
        m_host.Set(L"KelTb.Str.UpdateAPI.PostHeader", L"X-Sent-By: worker");
        m_api.Initialize(&m_host);
        m_file.Open(statusPath, core::SharedStatusFile::Caller::UiThread);
    }
    ~Instance() { Stop(); }

    void Start(const std::wstring& mutexName)
    {
        ASSERT_TRUE(m_worker.Start(mutexName, [this](platform::SettingsSnapshot& settings) {
            const std::lock_guard lock(m_lock);
            settings.Capture(m_host, core::ControllerSettings::PassSettings());
            settings.Capture(m_host, net::APIDispatcher::QuerySettings());
        }));
    }
    void Stop() { m_worker.Stop(); }
    [[nodiscard]] bool IsRunning() const { return m_worker.IsRunning(); }

    // Before Start: a host setting.
    void Set(const wchar_t* key, const wchar_t* value) { m_host.Set(key, value); }
    // A busy window takes no snapshot when asked.
    void SetBusy(bool busy) { m_busy = busy; }
    // This many of the worker's posts about a published status are refused: the UI thread's queue has no room,
    // or (ERROR_INVALID_WINDOW_HANDLE) the control is between the windows of two start-ups.
    void RefusePublications(int count, DWORD error)
    {
        m_refusalError = error;
        m_refusals = count;
    }
    [[nodiscard]] int Publications() const { return m_publications.load(); }

    void RequestUpdate()
    {
        platform::SettingsSnapshot settings;
        {
            const std::lock_guard lock(m_lock);
            settings.Capture(m_host, net::APIDispatcher::UpdateSettings());
        }
        m_worker.RequestUpdate(std::move(settings));
    }

    [[nodiscard]] net::APIDispatcher& Api() { return m_api; }

private:
    bool PostSettingsRequest() noexcept override { return m_busy || m_window.Post(); }
    bool PostStatusPublished() noexcept override
    {
        if (m_refusals.load() > 0)
        {
            --m_refusals;
            ::SetLastError(m_refusalError);
            return false;
        }
        ++m_publications;
        return true;
    }

    std::mutex m_lock;  // the fake host is shared by the worker thread and the test thread
    testing_support::FakeHostStrings m_host;
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_refusals{0};
    std::atomic<DWORD> m_refusalError{0};
    std::atomic<int> m_publications{0};
    core::SharedStatusFile m_file;
    net::APIDispatcher m_api;
    core::PollingWorker m_worker{*this, m_api, m_file};
    SettingsWindow m_window{m_worker};
};

class PollingWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(0)); }
    void TearDown() override { m_service.Stop(); }

    std::unique_ptr<Instance> MakeInstance(const wchar_t* timeoutSecs = L"3")
    {
        return std::make_unique<Instance>(m_statusPath, m_service.BaseUrl(), timeoutSecs);
    }

    [[nodiscard]] std::optional<core::StatusRecord> Stored() const { return core_tests::Stored(m_statusPath); }

    service::ProductService m_service;
    testing_support::TempFolder m_folder;
    std::wstring m_statusPath = m_folder.File(core::SharedStatusFile::kFileName);
    // The mutex of these workers alone.
    std::wstring m_mutexName = win::Format(L"KEL_PULLING_INSTANCE_TEST_%lu_%llu", ::GetCurrentProcessId(),
        static_cast<unsigned long long>(::GetTickCount64()));
};

TEST_F(PollingWorkerTest, InstancesThatNeverReloadStillQueryOncePerIntervalAndShareTheAnswer)
{
    auto first = MakeInstance();
    auto second = MakeInstance();
    first->Start(m_mutexName);
    second->Start(m_mutexName);
    testing_support::ExpectQueriesOneIntervalApart(m_service, 4);
    first->Stop();
    second->Stop();

    // The answer was interpreted with the snapshot's texts and stored for every instance.
    const auto record = Stored();
    ASSERT_TRUE(record);
    EXPECT_EQ(static_cast<std::int32_t>(net::PaviseStatus::Activated), record->paviseStatus);
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Uptodate), record->norvixStatus);
}

TEST_F(PollingWorkerTest, AWindowThatNeverAnswersHoldsUpNoWorkerNotEvenItsOwn)
{
    auto busy = MakeInstance();
    busy->Start(m_mutexName);
    busy->SetBusy(true);
    auto other = MakeInstance();
    other->SetBusy(true);
    other->Start(m_mutexName);
    testing_support::ExpectQueriesOneIntervalApart(m_service, 4);

    // A click in the busy window still reaches the service: the request carries its own settings.
    busy->RequestUpdate();
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/DoUpdate") == 1; }));
    const auto requests = m_service.Requests();
    const auto update =
        std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.path == "/DoUpdate"; });
    ASSERT_NE(requests.end(), update);
    EXPECT_NE(std::string::npos, update->headers.find("X-Sent-By: worker\r\n"));

    // Stopping does not wait for the window either.
    busy->Stop();
    other->Stop();
}

TEST_F(PollingWorkerTest, AMutexNameThatAnotherKindOfObjectHoldsIsToldAndTheInstanceStillSendsItsUpdate)
{
    win::KernelHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, m_mutexName.c_str()));
    ASSERT_TRUE(squatter);
    const testing_support::ExpectFailureReports expected{"the name belongs to an object of another kind: never polls"};
    auto instance = MakeInstance();
    instance->Start(m_mutexName);
    instance->RequestUpdate();
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/DoUpdate") == 1; }));
    instance->Stop();
    // A pass polls before it sends a request: with a mutex the due query would have come first.
    EXPECT_EQ(0u, m_service.RequestCount("/GetStatus"));
}

TEST_F(PollingWorkerTest, AServiceThatNeverFinishesItsAnswerIsUnavailableAtTheDeadlineAndHoldsNothing)
{
    // Headers dripped a byte every half second never end a read's time-out: only the deadline (1 s time-out
    // plus its margin) ends the query, long before the headers would.
    m_service.SetFault(service::FaultMode::DripHeaders);
    m_service.SetSlowDelayMs(500);
    const testing_support::ExpectFailureReports expected{"no answer within 1500 ms", "no answer from"};
    auto instance = MakeInstance(L"1");
    instance->Start(m_mutexName);
    ASSERT_TRUE(testing_support::WaitFor(
        [&] {
            const auto record = Stored();
            return record && record->norvixStatus == static_cast<std::int32_t>(net::NorvixStatus::ConnectionFailure);
        },
        20000));
    instance->Stop();

    // A query that the service holds for a minute: the mutex is free meanwhile, and the instance stops at once.
    // Its UI thread is a thread of its own, so that a Stop that never returns fails the test.
    m_service.SetFault(service::FaultMode::Hang);
    (void)win::File::Remove(m_statusPath);
    m_service.ClearRequests();
    std::atomic<int> stage{0};  // 1: asked to stop; 2: stopped
    std::thread ui([&] {
        auto hanging = MakeInstance(L"60");
        hanging->Start(m_mutexName);
        (void)testing_support::WaitFor([&] { return stage.load() == 1; }, 60000);
        hanging->Stop();
        stage = 2;
    });
    EXPECT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 1; }));
    win::NamedMutex mutex;
    EXPECT_TRUE(mutex.Create(m_mutexName));
    EXPECT_EQ(win::NamedMutex::WaitResult::Acquired, mutex.Wait(10000)) << "held across the query";
    mutex.Release();
    stage = 1;
    EXPECT_TRUE(testing_support::WaitFor([&] { return stage.load() == 2; }, 20000)) << "waited for the query";
    ui.join();
}

TEST_F(PollingWorkerTest, APublicationTheUiThreadHadNoRoomOrNoWindowForIsToldAgainAndTheWorkerGoesOn)
{
    // One query for each instance (the next is ten minutes away): only telling the UI thread again gets the
    // change to it. A full queue is a failure, told once; no window (between two start-ups) is none.
    m_service.SetDefinitions("yellow");
    for (const auto& [error, report] : {std::pair{ERROR_NOT_ENOUGH_QUOTA, true}, {ERROR_INVALID_WINDOW_HANDLE, false}})
    {
        SCOPED_TRACE(error);
        (void)win::File::Remove(m_statusPath);  // never checked: due at once
        auto instance = MakeInstance();
        instance->Set(L"KelTb.Str.Norvix.Status.Default.Interval", L"600");
        instance->RefusePublications(3, error);
        instance->SetBusy(true);  // nor is any settings request answered
        std::optional<testing_support::ExpectFailureReports> refused;
        if (report)
        {
            refused.emplace(std::initializer_list<std::string>{"m_owner.PostStatusPublished()"});
        }
        const size_t queries = m_service.RequestCount("/GetStatus");
        instance->Start(m_mutexName);
        ASSERT_TRUE(testing_support::WaitFor([&] { return instance->Publications() == 1; }));
        EXPECT_EQ(queries + 1, m_service.RequestCount("/GetStatus"));

        // Still running: a click is sent.
        const size_t updates = m_service.RequestCount("/DoUpdate");
        instance->RequestUpdate();
        EXPECT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/DoUpdate") == updates + 1; }));
    }
}

TEST_F(PollingWorkerTest, AnAnswerWithCodesTheProductDoesNotKnowMovesOnlyTheLastCheck)
{
    core_tests::Publish(m_statusPath, 1, 1, false);  // never checked: due at once
    m_service.SetDefinitions("purple");
    m_service.SetProtection("unheard-of");
    const testing_support::ExpectFailureReports expected{"a code this add-on does not know"};
    auto instance = MakeInstance();
    instance->Start(m_mutexName);
    // The update request is sent only between passes: once it arrives, the poll and its store are over.
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 1; }));
    instance->RequestUpdate();
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/DoUpdate") == 1; }));
    instance->Stop();
    const auto record = Stored();
    ASSERT_TRUE(record);
    EXPECT_NE(0.0, record->lastCheck.Value());
    EXPECT_EQ(1, record->paviseStatus);
    EXPECT_EQ(1, record->norvixStatus);
    EXPECT_EQ(0, instance->Publications());
}

TEST_F(PollingWorkerTest, TheStoredCodesAreThePairTheServiceAnsweredWhateverTheUiThreadPutInTheClientMeanwhile)
{
    // The answer takes a moment; the test holds the mutex from before it comes until after the UI thread (an
    // "UpdateStatus" with the file's older codes) replaced the client's pair.
    m_service.SetFault(service::FaultMode::Slow);
    m_service.SetSlowDelayMs(500);
    m_service.SetDefinitions("yellow");
    m_service.SetProtection("disabled");
    auto instance = MakeInstance();
    instance->Start(m_mutexName);
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 1; }));
    win::NamedMutex mutex;
    ASSERT_TRUE(mutex.Create(m_mutexName));
    ASSERT_EQ(win::NamedMutex::WaitResult::Acquired, mutex.Wait(10000));
    ASSERT_TRUE(
        testing_support::WaitFor([&] { return instance->Api().GetNorvixStatus() == net::NorvixStatus::Update; }));
    ASSERT_TRUE(instance->Api().SetStatuses(net::PaviseStatus::Activated, net::NorvixStatus::Uptodate));
    mutex.Release();

    ASSERT_TRUE(testing_support::WaitFor([&] { return instance->Publications() == 1; }));
    const auto record = Stored();
    ASSERT_TRUE(record);
    EXPECT_EQ(static_cast<std::int32_t>(net::PaviseStatus::Deactivated), record->paviseStatus);
    EXPECT_EQ(static_cast<std::int32_t>(net::NorvixStatus::Update), record->norvixStatus);
}

TEST_F(PollingWorkerTest, AStartFromTheMessagesAStopPumpsIsStoppedToo)
{
    // The host may start the control anew from a message its shutdown pumps: when the outer Stop returns, no
    // worker thread runs. Played on a thread of its own, so that a Stop that never returns fails the test.
    std::atomic<int> state{0};  // 1: the nested Start ran; 2: the outer Stop returned with nothing running
    std::thread ui([&] {
        auto instance = MakeInstance();
        instance->Start(m_mutexName);
        testing_support::PostToThisThread([&] {
            instance->Stop();
            instance->Start(m_mutexName);
            state = instance->IsRunning() ? 1 : -1;
        });
        instance->Stop();
        if (state.load() == 1 && !instance->IsRunning())
        {
            state = 2;
        }
        instance.reset();
    });
    const bool ended = testing_support::WaitFor([&] { return state.load() == 2 || state.load() < 0; }, 30000);
    EXPECT_TRUE(ended && state.load() == 2) << "state " << state.load();
    if (ended)
    {
        ui.join();
    }
    else
    {
        ui.detach();  // it hangs: the test has failed
    }
}

// The worker's UI-thread side belongs to the thread that made it: the test programs stop at a call from another.
using PollingWorkerDeathTest = PollingWorkerTest;

TEST_F(PollingWorkerDeathTest, AClickFromAnotherThreadIsReportedAndStopsTheTestProgram)
{
    auto instance = MakeInstance();
    EXPECT_DEATH(std::thread([&] { instance->RequestUpdate(); }).join(),
        "broken rule: src/Core/PollingWorker.cpp.*RequestUpdate: called on thread");
}

}  // namespace
