// Polling workers of several instances against the product service, each with a control of its own that
// answers the worker's settings requests (or, playing a busy window, does not) and never reloads the file:
// what the workers do they must do from the shared file and their own snapshot alone.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "Core/PollingWorker.h"
#include "support/FakeHostStrings.h"
#include "support/TempFolder.h"
#include "support/Wait.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace
{

// One browser instance: its status file object, API client, worker and a control that plays its UI thread.
class Instance final : private PollingWorker::Owner
{
public:
    Instance(const std::wstring& statusPath, const std::wstring& baseUrl)
    {
        m_host.Set(L"KelTb.Url.Norvix.API", baseUrl);
        m_host.Set(L"KelTb.Str.Norvix.Status.Default.Interval", L"2");
        m_host.Set(L"KelTb.Str.UpdateAPI.PostHeader", L"X-Sent-By: worker");
        m_api.Initialize(&m_host);
        m_file.Open(statusPath, SharedStatusFile::Caller::UiThread);
    }
    ~Instance() { Stop(); }

    void Start(const std::wstring& mutexName)
    {
        ASSERT_TRUE(m_worker.Start(mutexName, [this](SettingsSnapshot& settings, bool withQuery) {
            const std::lock_guard lock(m_lock);
            settings.Capture(m_host, ControllerSettings::PassSettings());
            if (withQuery)
            {
                settings.Capture(m_host, APIDispatcher::QuerySettings());
            }
        }));
    }
    void Stop() { m_worker.Stop(); }

    // A busy window answers no settings request until it is free again; then it answers the one waiting.
    void SetBusy(bool busy)
    {
        bool answer = false;
        {
            const std::lock_guard lock(m_lock);
            m_busy = busy;
            answer = !busy && m_waiting;
            m_waiting = false;
        }
        if (answer)
        {
            Answer();
        }
    }

    void RequestUpdate()
    {
        SettingsSnapshot settings;
        {
            const std::lock_guard lock(m_lock);
            settings.Capture(m_host, APIDispatcher::UpdateSettings());
        }
        m_worker.RequestUpdate(std::move(settings));
    }

    [[nodiscard]] int SettingsRequests() const { return m_requests.load(); }

private:
    bool PostSettingsRequest() noexcept override
    {
        ++m_requests;
        {
            const std::lock_guard lock(m_lock);
            if (m_busy)
            {
                m_waiting = true;
                return true;
            }
        }
        Answer();
        return true;
    }
    void PostStatusPublished() noexcept override {}

    void Answer() { m_worker.AnswerSettingsRequest(); }

    std::mutex m_lock;  // the fake host is shared by the worker thread and the test thread
    testing_support::FakeHostStrings m_host;
    bool m_busy = false;
    bool m_waiting = false;
    std::atomic<int> m_requests{0};
    SharedStatusFile m_file;
    APIDispatcher m_api;
    PollingWorker m_worker{*this, m_api, m_file};
};

class PollingWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(0)); }
    void TearDown() override { m_service.Stop(); }

    std::unique_ptr<Instance> MakeInstance() { return std::make_unique<Instance>(m_statusPath, m_service.BaseUrl()); }

    [[nodiscard]] std::vector<ULONGLONG> QueryTimes() const
    {
        std::vector<ULONGLONG> times;
        for (const auto& request : m_service.Requests())
        {
            if (request.path == "/GetStatus")
            {
                times.push_back(request.receivedAtMs);
            }
        }
        return times;
    }

    // Waits until the service has been queried `count` times; then no two queries came closer than the interval
    // allows (2 s, stamped to the second: more than 1 s apart).
    void ExpectQueriesOneIntervalApart(size_t count)
    {
        ASSERT_TRUE(testing_support::WaitFor([&] { return QueryTimes().size() >= count; }, 30000))
            << QueryTimes().size() << " queries";
        const std::vector<ULONGLONG> times = QueryTimes();
        for (size_t i = 1; i < times.size(); ++i)
        {
            EXPECT_GE(times[i] - times[i - 1], 900u) << "query " << i;
        }
    }

    service::ProductService m_service;
    testing_support::TempFolder m_folder;
    std::wstring m_statusPath = m_folder.File(SharedStatusFile::kFileName);
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
    ExpectQueriesOneIntervalApart(4);
    first->Stop();
    second->Stop();

    // The answer was interpreted with the snapshot's texts and stored for every instance.
    SharedStatusFile reader;
    reader.Open(m_statusPath, SharedStatusFile::Caller::UiThread);
    const auto record = reader.Record();
    ASSERT_TRUE(record);
    EXPECT_EQ(static_cast<std::int32_t>(PaviseStatus::Activated), record->paviseStatus);
    EXPECT_EQ(static_cast<std::int32_t>(NorvixStatus::Uptodate), record->norvixStatus);
}

TEST_F(PollingWorkerTest, AWindowThatStopsAnsweringHoldsUpOnlyItsOwnWorker)
{
    auto busy = MakeInstance();
    auto other = MakeInstance();
    busy->Start(m_mutexName);
    ASSERT_TRUE(testing_support::WaitFor([&] { return QueryTimes().size() >= 1; }));
    busy->SetBusy(true);
    other->Start(m_mutexName);
    ExpectQueriesOneIntervalApart(4);

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

}  // namespace
