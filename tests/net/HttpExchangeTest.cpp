// Requests bounded by the clock from outside WinINet, against a service that misbehaves in the ways WinINet's own
// time-outs do not bound: headers dripped a byte at a time, a connect nobody answers, an answer that never ends.

#include "ServiceFixture.h"

#include "net/HttpExchange.h"
#include "support/FailureReports.h"
#include "support/ProcessThreads.h"
#include "win/Handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

namespace
{

class HttpExchangeTest : public ServiceFixture
{
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        SetTimeouts(m_longTimeouts, 60000);
    }

    // Time-outs far beyond every deadline: whatever ends a request early is the deadline.
    net::HTTPOptionItemArray m_longTimeouts;
};

TEST_F(HttpExchangeTest, AnswersAsGetAndPostDo)
{
    net::HttpExchange exchange;
    std::wstring response;
    ASSERT_TRUE(exchange.Get(10000, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
    const std::string xml = service::ProductService::StatusXml("green", "enabled");
    EXPECT_EQ(std::wstring(xml.begin(), xml.end()), response);
    EXPECT_TRUE(exchange.Post(10000, nullptr, Url(L"DoUpdate"), kAgent, L"", L"", nullptr, TRUE, response));
    EXPECT_TRUE(m_service.IsUpdating());

    m_service.SetFault(service::FaultMode::NotFound);
    const testing_support::ExpectFailureReports expected{"HTTP status 404, not 200-200"};
    response = L"untouched";
    EXPECT_FALSE(exchange.Get(10000, nullptr, Url(L"GetStatus"), kAgent, TRUE, nullptr, TRUE, response));
    EXPECT_EQ(L"untouched", response);
}

TEST_F(HttpExchangeTest, EveryRequestEndsForItsCallerAtItsDeadlineWhateverTheServiceDoes)
{
    // Headers that never end within the time-outs, a connection accepted and never answered, a connect that
    // never completes (the service's accept queue is full): each would hold the caller for a minute.
    using service::FaultMode;
    m_service.SetSlowDelayMs(500);
    const testing_support::ExpectFailureReports expected{"no answer within 1000 ms: left to end by itself"};
    for (const auto& [fault, post] : {std::pair{FaultMode::DripHeaders, false}, {FaultMode::Hang, false},
             {FaultMode::Hang, true}, {FaultMode::Stall, false}, {FaultMode::Stall, true}})
    {
        SCOPED_TRACE(testing::Message() << service::FaultModeName(fault) << (post ? " POST" : " GET"));
        m_service.SetFault(fault);
        const bool stall = fault == FaultMode::Stall;
        ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.IsStalled() == stall; }));
        net::HttpExchange exchange;
        BOOL got = TRUE;
        std::wstring response = L"untouched";
        ASSERT_TRUE(EndsWithin(20000, [&] {
            got = post
                ? exchange.Post(1000, nullptr, Url(L"DoUpdate"), kAgent, L"", L"", &m_longTimeouts, FALSE, response)
                : exchange.Get(1000, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response);
        }));
        EXPECT_FALSE(got);
        EXPECT_EQ(L"untouched", response);
        EXPECT_TRUE(exchange.IsBusy()) << "the request still runs on its own thread";
        m_service.SetFault(service::FaultMode::None);  // a stall ends, so the next case can connect
    }
}

TEST_F(HttpExchangeTest, AbandoningEndsTheWaitAtOnce)
{
    m_service.SetFault(service::FaultMode::Hang);
    net::HttpExchange exchange;
    win::KernelHandle abandon(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(abandon);
    BOOL got = TRUE;
    std::wstring response;
    ASSERT_TRUE(EndsWithin(20000, [&] {
        std::thread setter([&] {
            (void)testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 1; });
            ::SetEvent(abandon.Get());
        });
        got = exchange.Get(60000, abandon.Get(), Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response);
        setter.join();
    })) << "waited for its deadline of a minute";
    EXPECT_FALSE(got);
}

TEST_F(HttpExchangeTest, ANewRequestWaitsForTheLastWithinItsOwnDeadlineOrIsDropped)
{
    // The first requests are abandoned early; the service holds them until it leaves the hang mode.
    m_service.SetFault(service::FaultMode::Hang);
    const testing_support::ExpectFailureReports expected{
        "no answer within 200 ms", "dropped: the last request still runs"};
    net::HttpExchange waiting;
    net::HttpExchange dropping(net::HttpExchange::WhenBusy::Drop);
    std::wstring response;
    for (net::HttpExchange* exchange : {&waiting, &dropping})
    {
        ASSERT_FALSE(exchange->Get(200, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
        ASSERT_TRUE(exchange->IsBusy());
    }
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 2; }));

    // Still in flight: the dropping one refuses at once, without a request.
    EXPECT_FALSE(dropping.Get(60000, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
    EXPECT_EQ(2u, m_service.RequestCount("/GetStatus"));
    // The waiting one waits for the last to end (the service lets it go), then asks.
    m_service.SetFault(service::FaultMode::None);
    EXPECT_TRUE(waiting.Get(20000, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
    EXPECT_EQ(3u, m_service.RequestCount("/GetStatus"));
}

TEST_F(HttpExchangeTest, ExchangesThatComeAndGoLeaveOneRequestBehindInAllAgainstAServiceThatNeverLetsGo)
{
    // A tab per exchange, each closed once its query has given up on the service, which holds every connection.
    // The first tab's request is left running; each later one waits for it within its deadline and fails without
    // asking, instead of leaving one more request behind.
    m_service.SetFault(service::FaultMode::Hang);
    const testing_support::ExpectFailureReports expected{
        "no answer within 300 ms: left to end by itself", "the last request still ran at the deadline"};
    net::HttpExchange::LeftBehind tabs;
    const size_t threadsBefore = testing_support::ThreadCount();
    for (int tab = 0; tab < 12; ++tab)
    {
        SCOPED_TRACE(tab);
        net::HttpExchange exchange(net::HttpExchange::WhenBusy::Wait, net::XHttpAccess::Reach::Origin, &tabs);
        std::wstring response = L"untouched";
        EXPECT_FALSE(exchange.Get(300, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
        EXPECT_EQ(L"untouched", response);
    }
    // The request's thread and the service's thread of that connection (and room for one of WinINet's own).
    EXPECT_LE(testing_support::ThreadCount(), threadsBefore + 3);
    ASSERT_TRUE(testing_support::WaitFor([&] { return m_service.RequestCount("/GetStatus") == 1; }));

    // Once the service lets go, the next tab asks.
    m_service.SetFault(service::FaultMode::None);
    net::HttpExchange next(net::HttpExchange::WhenBusy::Wait, net::XHttpAccess::Reach::Origin, &tabs);
    std::wstring response;
    EXPECT_TRUE(next.Get(20000, nullptr, Url(L"GetStatus"), kAgent, TRUE, &m_longTimeouts, TRUE, response));
    EXPECT_EQ(2u, m_service.RequestCount("/GetStatus"));
}

TEST_F(HttpExchangeTest, AnswersThatNeverEndCostOneThreadHoweverOftenTheyAreAsked)
{
    // The answer beyond the size limit is dropped and the caller has its result at once, while closing the
    // request (WinINet reads the rest first, for as long as the service sends) goes on on the request's thread.
    // A huge answer of known length and one that never ends, each asked again and again.
    m_service.SetHugeBytes(64u << 20);
    // A request that gets its turn just before its deadline meets the deadline itself.
    const testing_support::ExpectFailureReports expected{
        "more than 1048576 bytes: not read", "the last request still ran at the deadline", "?no answer within"};
    net::HTTPOptionItemArray timeouts;
    SetTimeouts(timeouts, 3000);
    for (const auto fault : {service::FaultMode::Huge, service::FaultMode::Endless})
    {
        m_service.SetFault(fault);
        net::HttpExchange exchange;
        const size_t threadsBefore = testing_support::ThreadCount();
        size_t mostThreads = 0;
        for (int round = 0; round < 5; ++round)
        {
            SCOPED_TRACE(testing::Message() << service::FaultModeName(fault) << " " << round);
            BOOL got = FALSE;
            std::wstring response = L"kept";
            ASSERT_TRUE(EndsWithin(20000, [&] {
                // The first waits for its answer as long as the service may take to make one of 64 MiB.
                const DWORD deadline = round == 0 ? 10000 : 1500;
                got = exchange.Get(deadline, nullptr, Url(L"GetStatus"), kAgent, TRUE, &timeouts, TRUE, response);
            })) << "it used to take as long as the service kept sending";
            EXPECT_EQ(L"kept", response);
            if (round == 0)
            {
                EXPECT_TRUE(got) << "the first answer comes before its close";
            }
            mostThreads = std::max(mostThreads, testing_support::ThreadCount());
        }
        // The request's thread and the service's thread of that connection (and room for one of WinINet's own);
        // a thread per request would be ten.
        EXPECT_LE(mostThreads, threadsBefore + 3);
    }
}

}  // namespace
