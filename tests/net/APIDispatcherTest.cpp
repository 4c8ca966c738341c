#include "ServiceFixture.h"

#include "net/APIDispatcher.h"
#include "platform/SettingsSnapshot.h"
#include "support/FailureReports.h"
#include "support/FakeHostStrings.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <thread>

namespace
{

class APIDispatcherTest : public ServiceFixture
{
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        m_host.Set(L"KelTb.Url.Norvix.API", m_service.BaseUrl());
        m_api.Initialize(&m_host);
    }

    win::ComInit m_com;  // the answers are read in the caller's apartment
    testing_support::FakeHostStrings m_host;
    net::APIDispatcher m_api;
};

// A status answer as the service gives it.
const auto Answer = &service::ProductService::StatusXml;

// `xml` (without its declaration) inside `depth` further elements.
std::string Nested(int depth, const std::string& xml)
{
    std::string nested = xml.substr(xml.find("<response>"));
    for (int i = 0; i < depth; ++i)
    {
        nested = "<n>" + nested + "</n>";
    }
    return nested;
}

}  // namespace

TEST_F(APIDispatcherTest, AnswersBecomeStatuses)
{
    const std::tuple<std::string, BOOL, net::NorvixStatus, net::PaviseStatus, BOOL> cases[] = {
        {Answer("green", "enabled"), TRUE, net::NorvixStatus::Uptodate, net::PaviseStatus::Activated, TRUE},
        {Answer("GREEN", "Disabled"), TRUE, net::NorvixStatus::Uptodate, net::PaviseStatus::Deactivated, TRUE},
        {Answer("red", "enabled"), TRUE, net::NorvixStatus::Update, net::PaviseStatus::Activated, TRUE},
        {Answer("yellow", "unheard-of"), TRUE, net::NorvixStatus::Update, net::PaviseStatus::Default, TRUE},
        {Answer("purple", "unheard-of"), TRUE, net::NorvixStatus::Default, net::PaviseStatus::Default, FALSE},
        {"<response><pavise_status>disabled</pavise_status></response>", TRUE, net::NorvixStatus::Default,
            net::PaviseStatus::Deactivated, TRUE},
        {"<response><vdf_status>green</vdf_status></response>", TRUE, net::NorvixStatus::Uptodate,
            net::PaviseStatus::Default, TRUE},
        {"<status><response><vdf_status>yellow</vdf_status><pavise_status>enabled</pavise_status></response></status>",
            TRUE, net::NorvixStatus::Update, net::PaviseStatus::Activated, TRUE},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response><vdf_status>green</vdf_status>"
         "<pavise_status>enabled</pavise_status></response>",
            TRUE, net::NorvixStatus::Uptodate, net::PaviseStatus::Activated, TRUE},
        {"<RESPONSE><vdf_status>green</vdf_status><pavise_status>enabled</pavise_status></RESPONSE>", FALSE,
            net::NorvixStatus::Error, net::PaviseStatus::Error, TRUE},
        {"<response><vdf_status/><pavise_status/></response>", FALSE, net::NorvixStatus::Error,
            net::PaviseStatus::Error, TRUE},
        {"", FALSE, net::NorvixStatus::Error, net::PaviseStatus::Error, TRUE},
        {"green enabled", FALSE, net::NorvixStatus::Error, net::PaviseStatus::Error, TRUE},
        // "vdf_status" lies two levels deep in the answer, so these reach the deepest nesting taken and one more.
        {Nested(net::XXMLParser::kMaxDepth - 2, Answer("green", "enabled")), TRUE, net::NorvixStatus::Uptodate,
            net::PaviseStatus::Activated, TRUE},
        {Nested(net::XXMLParser::kMaxDepth - 1, Answer("green", "enabled")), FALSE, net::NorvixStatus::Error,
            net::PaviseStatus::Error, TRUE},
    };
    m_service.SetFault(service::FaultMode::Body);
    const testing_support::ExpectFailureReports expected{"a code this add-on does not know",
        "no element response holds a status element", "no text", "not XML", "refused before parsing",
        "is unusable: error"};
    for (const auto& [body, result, norvix, pavise, changed] : cases)
    {
        SCOPED_TRACE(body);
        m_service.SetCustomBody(body);
        EXPECT_EQ(m_api.QueryStatus(), result);
        EXPECT_EQ(m_api.GetNorvixStatus(), norvix);
        EXPECT_EQ(m_api.GetPaviseStatus(), pavise);
        EXPECT_EQ(m_api.HasChanged(), changed);
    }
}

TEST_F(APIDispatcherTest, TheHostsVocabularyIsUsedThroughTheSnapshotsAWorkerTakes)
{
    // Every name, code and command a query and an update look up is the host's, here through the snapshots the
    // polling worker works from: a key missing from them would silently read as "" (a forgotten code turns its
    // answer into Default).
    const std::pair<const wchar_t*, const wchar_t*> vocabulary[] = {{L"KelTb.Str.API.Response.Status.Node", L"etat"},
        {L"KelTb.Str.API.Status.Norvix.Node", L"defs"}, {L"KelTb.Str.API.Status.Pavise.Node", L"shield"},
        {L"KelTb.Str.API.Norvix.Uptodate.Code", L"ok"}, {L"KelTb.Str.API.Norvix.Update.Code", L"old"},
        {L"KelTb.Str.API.Norvix.ImmediateUpdate.Code", L"ancient"}, {L"KelTb.Str.API.Pavise.Activated.Code", L"on"},
        {L"KelTb.Str.API.Pavise.Deactivated.Code", L"off"}, {L"KelTb.Str.API.Update", L"Refresh"},
        {L"KelTb.Str.UpdateAPI.PostHeader", L"X-Why: click"}, {L"KelTb.Str.UpdateAPI.PostData", L"now=1"}};
    for (const auto& [key, value] : vocabulary)
    {
        m_host.Set(key, value);
    }
    const std::tuple<const wchar_t*, std::string, net::NorvixStatus, net::PaviseStatus> cases[] = {
        {L"GetStatus", "<etat><defs>OK</defs><shield>off</shield></etat>", net::NorvixStatus::Uptodate,
            net::PaviseStatus::Deactivated},
        {L"GetStatus", "<etat><defs>ancient</defs><shield>ON</shield></etat>", net::NorvixStatus::Update,
            net::PaviseStatus::Activated},
        {L"GetStatus", "<etat><defs>old</defs><shield>on</shield></etat>", net::NorvixStatus::Update,
            net::PaviseStatus::Activated},
        {L"GetStatus", Answer("green", "enabled"), net::NorvixStatus::Error, net::PaviseStatus::Error},
        // The command's letter case does not matter; another command's answers are never read.
        {L"getSTATUS", "<etat><defs>ok</defs><shield>on</shield></etat>", net::NorvixStatus::Uptodate,
            net::PaviseStatus::Activated},
        {L"Status", "<etat><defs>ok</defs><shield>on</shield></etat>", net::NorvixStatus::Error,
            net::PaviseStatus::Error},
    };
    m_service.SetFault(service::FaultMode::Body);
    const testing_support::ExpectFailureReports expected{
        "no element etat holds", "only answers of GetStatus are read, not of Status", "is unusable"};
    for (const auto& [command, body, norvix, pavise] : cases)
    {
        SCOPED_TRACE(testing::Message() << body << " for " << win::WideToAnsi(command, CP_UTF8));
        m_host.Set(L"KelTb.Str.API.Status", command);
        m_service.SetCustomBody(body);
        platform::SettingsSnapshot snapshot;
        snapshot.Capture(m_host, net::APIDispatcher::QuerySettings());
        net::APIDispatcher::Answer answer;
        (void)m_api.QueryStatus(snapshot, nullptr, answer);
        EXPECT_EQ(answer.norvix, norvix);
        EXPECT_EQ(answer.pavise, pavise);
        EXPECT_EQ(snapshot.Misses(), 0u);
    }
    EXPECT_EQ(m_service.RequestCount("/getSTATUS"), 1u) << "the status command is taken as the host gives it";

    platform::SettingsSnapshot update;
    update.Capture(m_host, net::APIDispatcher::UpdateSettings());
    EXPECT_TRUE(m_api.RequestUpdate(update, nullptr));
    EXPECT_EQ(update.Misses(), 0u);
    const auto requests = m_service.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().method + " " + requests.back().path, "POST /Refresh");
    EXPECT_NE(requests.back().headers.find("X-Why: click\r\n"), std::string::npos);
    EXPECT_EQ(requests.back().body, "now=1");
}

TEST_F(APIDispatcherTest, ServiceFaultsBecomeConnectionFailureOrError)
{
    m_host.Set(L"KelTb.Str.API.HTTP.Timeout.Secs", L"1");
    m_api.Initialize(&m_host);
    m_service.SetHugeBytes(2u << 20);
    m_service.SetSlowDelayMs(200);
    // What each fault is told as: the cause where it happened, then the query's outcome. A service that hangs
    // or drips is cut off by WinINet's time-out or by the deadline, whichever comes first; one whose answer breaks
    // off may leave WinINet with a status it could not read.
    const testing_support::ExpectFailureReports expected{"HTTP status 404", "HTTP status 500", "HTTP status 204",
        "HTTP status 206", "::HttpSendRequestW", "not XML", "more than 1048576 bytes", "refused before parsing",
        "redirected again", "no text", "no answer from", "is unusable: error", "?no answer within",
        "?still arriving at the deadline", "?HTTP status"};
    using service::FaultMode;
    for (const auto& [fault, norvix] : {std::pair{FaultMode::NotFound, net::NorvixStatus::ConnectionFailure},
             {FaultMode::ServerError, net::NorvixStatus::ConnectionFailure},
             {FaultMode::NoContent, net::NorvixStatus::ConnectionFailure},
             {FaultMode::Partial, net::NorvixStatus::ConnectionFailure},
             {FaultMode::Refuse, net::NorvixStatus::ConnectionFailure},
             {FaultMode::Hang, net::NorvixStatus::ConnectionFailure}, {FaultMode::NotXml, net::NorvixStatus::Error},
             {FaultMode::Truncated, net::NorvixStatus::Error}, {FaultMode::Huge, net::NorvixStatus::Error},
             {FaultMode::Dtd, net::NorvixStatus::Error}, {FaultMode::Drip, net::NorvixStatus::Error},
             {FaultMode::Redirect, net::NorvixStatus::Uptodate},
             {FaultMode::Loop, net::NorvixStatus::ConnectionFailure}, {FaultMode::Endless, net::NorvixStatus::Error}})
    {
        SCOPED_TRACE(service::FaultModeName(fault));
        m_service.SetFault(fault);
        ASSERT_TRUE(m_api.SetStatuses(net::PaviseStatus::Deactivated, net::NorvixStatus::Updating));
        BOOL result = TRUE;
        ASSERT_TRUE(EndsWithin(30000, [&] {
            const win::ComInit com;
            result = m_api.QueryStatus();
        }));
        EXPECT_EQ(result, norvix == net::NorvixStatus::Uptodate);
        EXPECT_EQ(m_api.GetNorvixStatus(), norvix);
        EXPECT_TRUE(m_api.HasChanged());
    }
}

TEST_F(APIDispatcherTest, TheServiceIsAskedOnItsOwnOriginWithoutTheUsersCookiesWhileTrackingGoesAnywhere)
{
    // A program on the service's port sends every request to another listener, and the platform holds a cookie
    // for the service's address.
    service::ProductService elsewhere;
    ASSERT_TRUE(elsewhere.Start(0));
    const std::wstring other = elsewhere.BaseUrl();
    m_service.SetRedirectOrigin(win::WideToAnsi(other.substr(0, other.size() - 1)));
    m_service.SetFault(service::FaultMode::Redirect);
    ASSERT_TRUE(::InternetSetCookieW(m_service.BaseUrl().c_str(), L"planted", L"by-another-program"));
    const win::ScopeExit forget([this]() noexcept {
        (void)::InternetSetCookieW(
            m_service.BaseUrl().c_str(), L"planted", L"gone; expires=Thu, 01-Jan-1970 00:00:01 GMT");
    });
    const testing_support::ExpectFailureReports expected{"redirected from the origin of", "no answer from"};

    EXPECT_FALSE(m_api.QueryStatus());
    EXPECT_EQ(m_api.GetNorvixStatus(), net::NorvixStatus::ConnectionFailure);
    EXPECT_EQ(m_api.GetPaviseStatus(), net::PaviseStatus::ConnectionFailure);
    EXPECT_TRUE(m_api.RequestUpdate());
    EXPECT_EQ(elsewhere.TotalRequests(), 0u);

    // A click's tracking request is meant for a remote host: it follows, with the platform's cookies.
    net::HttpExchange tracking(net::HttpExchange::WhenBusy::Drop, net::XHttpAccess::Reach::Anywhere);
    std::wstring ignored;
    EXPECT_TRUE(tracking.Get(10000, nullptr, Url(L"track"), kAgent, FALSE, nullptr, FALSE, ignored));
    EXPECT_TRUE(testing_support::WaitFor([&] { return elsewhere.RequestCount("/redirected/track") == 1; }));

    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests)
    {
        SCOPED_TRACE(request.target);
        const bool sendsCookie = request.headers.find("Cookie: planted=by-another-program") != std::string::npos;
        EXPECT_EQ(sendsCookie, request.target == "/track");
    }
}

// The polling worker initialises COM once and undoes it when it ends; a query in between must leave no document
// and no initialisation of its own behind, or MSXML objects outlive the apartment that made them.
TEST_F(APIDispatcherTest, QueryLeavesTheThreadsComApartmentAsItFoundIt)
{
    const testing_support::ExpectFailureReports expected{"not XML", "is unusable"};
    for (const auto fault : {service::FaultMode::None, service::FaultMode::NotXml})
    {
        SCOPED_TRACE(service::FaultModeName(fault));
        m_service.SetFault(fault);
        HRESULT first = E_FAIL;
        HRESULT again = E_FAIL;
        std::thread worker([&] {
            first = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            (void)m_api.QueryStatus();
            ::CoUninitialize();
            // S_OK only when the apartment really ended: S_FALSE would mean an initialisation left over.
            again = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            ::CoUninitialize();
        });
        worker.join();
        EXPECT_EQ(first, S_OK);
        EXPECT_EQ(again, S_OK);
        EXPECT_EQ(m_api.GetNorvixStatus(),
            fault == service::FaultMode::None ? net::NorvixStatus::Uptodate : net::NorvixStatus::Error);
    }
}

TEST(APIDispatcherSettingsTest, TimeoutSettingBecomesThreeOptionsInMilliseconds)
{
    // Texts without a positive number keep the built-in 3 s: 0 ms would mean no time-out at all.
    for (const auto& [text, ms] :
        {std::pair{L"10", 10000ul}, {L"abc", 3000ul}, {L"0", 3000ul}, {L"-4", 3000ul}, {L"99999999999", 0x7FFFFFFFul}})
    {
        SCOPED_TRACE(win::WideToAnsi(text, CP_UTF8));
        testing_support::FakeHostStrings host;
        host.Set(L"KelTb.Str.API.HTTP.Timeout.Secs", text);
        net::APIDispatcher api;
        api.Initialize(&host);
        api.Initialize(&host);
        const net::HTTPOptionItemArray& options = api.TimeoutOptions();
        ASSERT_EQ(options.GetCount(), 3);
        const DWORD expectedOptions[] = {
            INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
        for (int i = 0; i < 3; ++i)
        {
            const net::HTTPOptionItem* item = options.GetAt(i);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->Option(), expectedOptions[i]);
            ASSERT_EQ(item->Length(), 4u);
            EXPECT_EQ(*static_cast<const DWORD*>(item->Value()), ms);
        }
    }
}

TEST(APIDispatcherSettingsTest, StatusesFromOutsideAreTakenOnlyWhenBothAreValid)
{
    net::APIDispatcher api;
    for (const auto& [pavise, norvix, accepted] :
        {std::tuple{3, 1, FALSE}, {1, 3, TRUE}, {-3, 0, FALSE}, {2, -2, TRUE}, {0, 4, FALSE}, {-2, -3, FALSE}})
    {
        SCOPED_TRACE(testing::Message() << pavise << "/" << norvix);
        ASSERT_TRUE(api.SetStatuses(net::PaviseStatus::Error, net::NorvixStatus::Uptodate));
        EXPECT_EQ(
            api.SetStatuses(static_cast<net::PaviseStatus>(pavise), static_cast<net::NorvixStatus>(norvix)), accepted);
        EXPECT_EQ(static_cast<std::int32_t>(api.GetPaviseStatus()), accepted ? pavise : -1);
        EXPECT_EQ(static_cast<std::int32_t>(api.GetNorvixStatus()), accepted ? norvix : 1);
    }
}

TEST(APIDispatcherDefaultsTest, BuiltInServiceAddressIsLoopbackPort44081)
{
    service::ProductService onDefaultPort;
    if (!onDefaultPort.Start(service::ProductService::kDefaultPort))
    {
        GTEST_SKIP() << "port 44081 is taken";
    }
    const win::ComInit com;
    testing_support::FakeHostStrings host;
    net::APIDispatcher api;
    api.Initialize(&host);
    EXPECT_TRUE(api.QueryStatus());
    EXPECT_TRUE(api.RequestUpdate());
    const auto requests = onDefaultPort.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method + " " + requests[0].target, "GET /GetStatus");
    EXPECT_EQ(requests[1].method + " " + requests[1].target + " " + requests[1].version, "POST /DoUpdate HTTP/1.0");
}
