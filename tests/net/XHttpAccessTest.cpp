#include "ServiceFixture.h"

#include "net/XHttpAccess.h"
#include "support/FailureReports.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using XHttpAccessTest = ServiceFixture;

TEST_F(XHttpAccessTest, GetFollowsARedirectionAndPostDoesNot)
{
    m_service.SetFault(service::FaultMode::Redirect);
    m_service.SetDefinitions("red");
    const testing_support::ExpectFailureReports expected{"HTTP status 302, not 200-206"};
    std::wstring response;
    ASSERT_TRUE(net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, nullptr, TRUE, response));
    EXPECT_NE(response.find(L"<vdf_status>red</vdf_status>"), std::wstring::npos);
    EXPECT_EQ(m_service.RequestCount("/redirected/GetStatus"), 1u);

    EXPECT_TRUE(net::XHttpAccess::Post(Url(L"DoUpdate"), kAgent, L"", L"", nullptr, FALSE, response));
    EXPECT_FALSE(net::XHttpAccess::Post(Url(L"DoUpdate"), kAgent, L"", L"", nullptr, TRUE, response));
    EXPECT_EQ(m_service.RequestCount("/DoUpdate"), 2u);
    EXPECT_EQ(m_service.RequestCount("/redirected/DoUpdate"), 0u);
    EXPECT_FALSE(m_service.IsUpdating());
}

TEST_F(XHttpAccessTest, GetFollowsAFewRedirectionsOfAServiceThatRedirectsForEverAndFails)
{
    m_service.SetFault(service::FaultMode::Loop);
    const testing_support::ExpectFailureReports expected{"redirected again after 5 redirections, to "};
    net::HTTPOptionItemArray timeouts;
    SetTimeouts(timeouts, 3000);
    // The status query, and a tracking request that neither reads nor has time-outs.
    for (const auto& [options, readResponse] : {std::pair{&timeouts, TRUE}, {nullptr, FALSE}})
    {
        SCOPED_TRACE(readResponse);
        m_service.ClearRequests();
        BOOL got = TRUE;
        std::wstring response = L"untouched";
        ASSERT_TRUE(EndsWithin(10000, [&] {
            got = net::XHttpAccess::Get(Url(L"GetStatus?x=1"), kAgent, TRUE, options, readResponse, response);
        })) << "WinINet on its own follows for ever";
        EXPECT_FALSE(got);
        EXPECT_EQ(response, L"untouched");
        // The first request and five redirections, each Location resolved against the path that was asked.
        const auto requests = m_service.Requests();
        ASSERT_EQ(requests.size(), 1u + net::XHttpAccess::kMaxRedirections);
        for (size_t i = 0; i < requests.size(); ++i)
        {
            EXPECT_EQ(requests[i].target, i % 2 == 0 ? "/GetStatus?x=1" : "/again/GetStatus?x=1") << i;
        }
    }
}

TEST_F(XHttpAccessTest, RedirectionsShareTheTimeOfOneExchange)
{
    // Each redirection comes well within the time-outs, but the whole exchange may last only as long as one of
    // them: the first answer (at 400 ms) leaves time for one more request, whose answer is past the time.
    m_service.SetFault(service::FaultMode::SlowLoop);
    m_service.SetSlowDelayMs(400);
    const testing_support::ExpectFailureReports expected{"?::HttpSendRequestW", "?no time left for "};
    net::HTTPOptionItemArray options;
    SetTimeouts(options, 500);
    BOOL got = TRUE;
    std::wstring response;
    ASSERT_TRUE(EndsWithin(
        10000, [&] { got = net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, &options, TRUE, response); }));
    EXPECT_FALSE(got);
    EXPECT_LE(m_service.RequestCount("/GetStatus") + m_service.RequestCount("/again/GetStatus"), 2u);
}

TEST_F(XHttpAccessTest, TimeoutsEndARequestToAServiceThatNeverAnswers)
{
    m_service.SetFault(service::FaultMode::Hang);
    const testing_support::ExpectFailureReports expected{
        "::HttpSendRequestW", "::HttpSendRequestA", "still arriving at the deadline"};
    net::HTTPOptionItemArray options;
    SetTimeouts(options, 1000);
    BOOL got = TRUE;
    BOOL posted = TRUE;
    std::wstring response = L"untouched";
    ASSERT_TRUE(EndsWithin(30000, [&] {
        got = net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, &options, TRUE, response);
        posted = net::XHttpAccess::Post(Url(L"DoUpdate"), kAgent, L"", L"", &options, FALSE, response);
    }));
    EXPECT_FALSE(got);
    EXPECT_FALSE(posted);
    EXPECT_EQ(response, L"untouched");

    // A body that trickles in, each byte within the time-out, must not hold the caller much longer than it.
    m_service.SetFault(service::FaultMode::Drip);
    m_service.SetSlowDelayMs(200);
    response = L"untouched";
    ASSERT_TRUE(EndsWithin(20000, [&] {
        got = net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, &options, TRUE, response);
    })) << "the whole body takes about 25 s";
    EXPECT_TRUE(got);
    EXPECT_EQ(response, L"untouched");

    // An answer that is merely slow, well within the time-out, still arrives.
    m_service.SetFault(service::FaultMode::Slow);
    m_service.SetSlowDelayMs(300);
    SetTimeouts(options, 10000);
    EXPECT_TRUE(net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, &options, TRUE, response));
}

TEST_F(XHttpAccessTest, BodyBeyondTheLimitLeavesTheResponseAsItWas)
{
    m_service.SetFault(service::FaultMode::Body);
    const testing_support::ExpectFailureReports expected{"more than 1048576 bytes: not read"};
    for (const auto& [size, read] : {std::pair{net::XHttpAccess::kMaxBodyBytes, true},
             {net::XHttpAccess::kMaxBodyBytes + 1, false}, {8 * net::XHttpAccess::kMaxBodyBytes, false}})
    {
        SCOPED_TRACE(size);
        m_service.SetCustomBody(std::string(size, 'z'));
        std::wstring response = L"kept";
        EXPECT_TRUE(net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, nullptr, TRUE, response));
        EXPECT_EQ(response.size(), read ? size + 4 : 4u);
    }
}

TEST_F(XHttpAccessTest, MultiByteCharacterAcrossReadsSurvives)
{
    // Shift-JIS "日本" placed so that the first character's two bytes lie on both sides of byte 8191.
    const std::string japanese = "\x93\xfa\x96\x7b";
    std::string body = std::string(8190, 'a') + japanese + std::string(10, 'c');
    m_service.SetFault(service::FaultMode::Body);
    m_service.SetCustomBody(body);
    m_service.SetBodySplit(8191);

    const LCID previous = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT)));
    std::wstring response;
    const BOOL got = net::XHttpAccess::Get(Url(L"GetStatus"), kAgent, TRUE, nullptr, TRUE, response);
    const std::wstring expectedMiddle = net::XHttpAccess::DecodeBody(japanese, CP_THREAD_ACP);
    ::SetThreadLocale(previous);

    ASSERT_TRUE(got);
    ASSERT_EQ(expectedMiddle, L"\u65e5\u672c") << "the thread's code page did not follow its locale";
    ASSERT_EQ(response.size(), 8190u + 2 + 10);
    EXPECT_EQ(response.substr(8188), L"aa\u65e5\u672c" + std::wstring(10, L'c'));
}

TEST(XHttpAccessHostTest, OnlyTheLoopbackIsAskedForWhateverThePlatformSaysOfTheConnection)
{
    // Forms a resolver might still take for the loopback (octal or short parts, a name under "localhost") keep
    // the check: an offline machine then makes no request, as before.
    const std::pair<const wchar_t*, bool> cases[] = {{L"127.0.0.1", true}, {L"127.255.255.254", true},
        {L"127.1.2.3", true}, {L"localhost", true}, {L"LocalHost", true}, {L"localhost.", true}, {L"::1", true},
        {L"[::1]", true}, {L"0:0:0:0:0:0:0:1", true}, {L"[0::0:001]", true}, {L"::ffff:127.0.0.1", true},
        {L"[::FFFF:127.9.8.7]", true}, {L"126.255.255.255", false}, {L"128.0.0.1", false}, {L"10.0.0.1", false},
        {L"127.0.0", false}, {L"127.1", false}, {L"127.0.0.1.", false}, {L"127.0.0.256", false}, {L"0127.0.0.1", false},
        {L"127.0.0.01", false}, {L"2130706433", false}, {L"0x7f.0.0.1", false}, {L"127.0.0.1x", false},
        {L"localhost.example.com", false}, {L"example.localhost", false}, {L"mylocalhost", false}, {L"::", false},
        {L"::2", false}, {L"1::1", false}, {L"::1:0", false}, {L"0:0:0:0:0:0:0:0:1", false}, {L":::1", false},
        {L"::1::", false}, {L"::00001", false}, {L"::ffff:128.0.0.1", false}, {L"::fffe:127.0.0.1", false},
        {L"[::1", false}, {L"[]", false}, {L"", false}, {L"intranet", false}};
    for (const auto& [host, loopback] : cases)
    {
        SCOPED_TRACE(testing::Message() << '"' << win::WideToAnsi(host, CP_UTF8) << '"');
        EXPECT_EQ(net::XHttpAccess::IsLoopbackHost(host), loopback);
    }
}
