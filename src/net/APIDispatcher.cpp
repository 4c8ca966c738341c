#include "net/APIDispatcher.h"

#include "net/XHttpAccess.h"
#include "win/FailureReport.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <algorithm>

namespace net
{

namespace
{

constexpr const wchar_t* kKeyBaseUrl = L"KelTb.Url.Norvix.API";
constexpr const wchar_t* kDefaultBaseUrl = L"http://127.0.0.1:44081/";
constexpr const wchar_t* kKeyStatusCommand = L"KelTb.Str.API.Status";
constexpr const wchar_t* kDefaultStatusCommand = L"GetStatus";
constexpr const wchar_t* kKeyUpdateCommand = L"KelTb.Str.API.Update";
constexpr const wchar_t* kDefaultUpdateCommand = L"DoUpdate";
constexpr const wchar_t* kKeyPostHeader = L"KelTb.Str.UpdateAPI.PostHeader";
constexpr const wchar_t* kKeyPostData = L"KelTb.Str.UpdateAPI.PostData";
constexpr const wchar_t* kKeyTimeout = L"KelTb.Str.API.HTTP.Timeout.Secs";
constexpr const wchar_t* kDefaultTimeout = L"3";
constexpr const wchar_t* kKeyResponseNode = L"KelTb.Str.API.Response.Status.Node";
constexpr const wchar_t* kDefaultResponseNode = L"response";
constexpr const wchar_t* kKeyNorvixNode = L"KelTb.Str.API.Status.Norvix.Node";
constexpr const wchar_t* kDefaultNorvixNode = L"vdf_status";
constexpr const wchar_t* kKeyPaviseNode = L"KelTb.Str.API.Status.Pavise.Node";
constexpr const wchar_t* kDefaultPaviseNode = L"pavise_status";
constexpr const wchar_t* kKeyUptodateCode = L"KelTb.Str.API.Norvix.Uptodate.Code";
constexpr const wchar_t* kDefaultUptodateCode = L"green";
constexpr const wchar_t* kKeyUpdateCode = L"KelTb.Str.API.Norvix.Update.Code";
constexpr const wchar_t* kDefaultUpdateCode = L"yellow";
constexpr const wchar_t* kKeyImmediateUpdateCode = L"KelTb.Str.API.Norvix.ImmediateUpdate.Code";
constexpr const wchar_t* kDefaultImmediateUpdateCode = L"red";
constexpr const wchar_t* kKeyActivatedCode = L"KelTb.Str.API.Pavise.Activated.Code";
constexpr const wchar_t* kDefaultActivatedCode = L"enabled";
constexpr const wchar_t* kKeyDeactivatedCode = L"KelTb.Str.API.Pavise.Deactivated.Code";
constexpr const wchar_t* kDefaultDeactivatedCode = L"disabled";

// The only status command whose answers are interpreted.
constexpr const wchar_t* kStatusCommand = L"GetStatus";

// What the service clients of all the controls of the process left running: a tab closed while the service held
// its request must not leave one more thread behind for every tab that opens and closes after it.
HttpExchange::LeftBehind& ServiceRequestsLeftBehind()
{
    static HttpExchange::LeftBehind leftBehind;
    return leftBehind;
}

}  // namespace

APIDispatcher::APIDispatcher()
    : m_exchange(HttpExchange::WhenBusy::Wait, XHttpAccess::Reach::Origin, &ServiceRequestsLeftBehind())
{
    Reset();
}

BOOL APIDispatcher::Initialize(platform::HostStrings* owner)
{
    m_owner = owner;
    SetBoth(0);
    m_changed = 1;
    m_options.RemoveAll();
    ConfigureTimeouts();
    m_nodes.RemoveAll();
    return TRUE;
}

void APIDispatcher::Reset() noexcept
{
    m_owner = nullptr;
    m_options.RemoveAll();
}

std::wstring APIDispatcher::Lookup(const wchar_t* key, const wchar_t* defaultValue) const
{
    return m_owner ? m_owner->GetHostString(key, defaultValue) : std::wstring();
}

std::wstring APIDispatcher::Lookup(platform::HostStrings* settings, const wchar_t* key, const wchar_t* defaultValue)
{
    return settings ? settings->GetHostString(key, defaultValue) : std::wstring();
}

std::span<const platform::Setting> APIDispatcher::QuerySettings() noexcept
{
    static const platform::Setting kSettings[] = {{kKeyBaseUrl, kDefaultBaseUrl},
        {kKeyStatusCommand, kDefaultStatusCommand}, {kKeyResponseNode, kDefaultResponseNode},
        {kKeyNorvixNode, kDefaultNorvixNode}, {kKeyPaviseNode, kDefaultPaviseNode},
        {kKeyUptodateCode, kDefaultUptodateCode}, {kKeyUpdateCode, kDefaultUpdateCode},
        {kKeyImmediateUpdateCode, kDefaultImmediateUpdateCode}, {kKeyActivatedCode, kDefaultActivatedCode},
        {kKeyDeactivatedCode, kDefaultDeactivatedCode}};
    return kSettings;
}

std::span<const platform::Setting> APIDispatcher::UpdateSettings() noexcept
{
    static const platform::Setting kSettings[] = {{kKeyBaseUrl, kDefaultBaseUrl},
        {kKeyUpdateCommand, kDefaultUpdateCommand}, {kKeyPostHeader, L""}, {kKeyPostData, L""}};
    return kSettings;
}

void APIDispatcher::ConfigureTimeouts()
{
    // A setting without a positive number of seconds would give 0 ms, which WinINet reads as "no time-out":
    // the query would then wait for a silent service for ever.
    const long long seconds = win::ParseDecimal(Lookup(kKeyTimeout, kDefaultTimeout));
    const DWORD ms = seconds <= 0 ? kDefaultTimeoutMs : static_cast<DWORD>(std::min(seconds * 1000, 0x7FFFFFFFLL));
    m_timeoutMs = std::min<DWORD>(ms, INFINITE - 1 - kDeadlineMarginMs);
    for (const DWORD option :
        {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    {
        m_options.Add(std::make_unique<HTTPOptionItem>(HTTPOptionItem::FromDword(option, ms)));
    }
}

void APIDispatcher::SetBoth(std::int32_t value) noexcept
{
    m_paviseStatus = value;
    m_norvixStatus = value;
}

BOOL APIDispatcher::QueryStatus()
{
    Answer answer;
    return QueryStatus(m_owner, nullptr, answer);
}

BOOL APIDispatcher::QueryStatus(platform::HostStrings& settings, HANDLE abandon, Answer& answer)
{
    return QueryStatus(&settings, abandon, answer);
}

BOOL APIDispatcher::QueryStatus(platform::HostStrings* settings, HANDLE abandon, Answer& answer)
{
    const auto fail = [this, &answer](NorvixStatus status) {
        SetBoth(static_cast<std::int32_t>(status));
        m_changed = 1;
        answer = {static_cast<PaviseStatus>(status), status, true};
        return FALSE;
    };
    try
    {
        const std::wstring command = Lookup(settings, kKeyStatusCommand, kDefaultStatusCommand);
        const std::wstring url = Lookup(settings, kKeyBaseUrl, kDefaultBaseUrl) + command;
        std::wstring text;
        m_changed = 1;
        if (!m_exchange.Get(
                DeadlineMs(), abandon, url, kUserAgent, /*dontCache=*/TRUE, &m_options, /*readResponse=*/TRUE, text))
        {
            // Why is told where it happened; a query ended by shutdown is no failure of the service.
            if (!abandon || ::WaitForSingleObject(abandon, 0) != WAIT_OBJECT_0)
            {
                WIN_REPORT_FAILURE("status query", S_OK, L"no answer from " + url + L": unavailable");
            }
            return fail(NorvixStatus::ConnectionFailure);
        }
        // Each query starts from no known state; the codes are written once, at the end, so the UI thread never
        // sees a passing Default while the request runs.
        if (!Interpret(settings, command, text, PaviseStatus::Default, NorvixStatus::Default, &answer))
        {
            WIN_REPORT_FAILURE("status query", S_OK, L"the answer of " + url + L" is unusable: error");
            return fail(NorvixStatus::Error);
        }
        return TRUE;
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("status query");
        return fail(NorvixStatus::Error);
    }
}

BOOL APIDispatcher::ParseAnswer(const std::wstring& command, const std::wstring& answer)
{
    return Interpret(m_owner, command, answer, GetPaviseStatus(), GetNorvixStatus(), nullptr);
}

void APIDispatcher::PrepareNodes(platform::HostStrings* settings)
{
    m_nodes.RemoveAll();
    m_nodes.Add(std::make_unique<XXMLNode>(Lookup(settings, kKeyNorvixNode, kDefaultNorvixNode)));
    m_nodes.Add(std::make_unique<XXMLNode>(Lookup(settings, kKeyPaviseNode, kDefaultPaviseNode)));
}

BOOL APIDispatcher::Interpret(platform::HostStrings* settings, const std::wstring& command, const std::wstring& answer,
    PaviseStatus previousPavise, NorvixStatus previousNorvix, Answer* outcome)
{
    // The document is released here, on the thread that made it (the polling worker), before that thread and its
    // COM apartment end; nothing reads it after the two codes.
    const win::ScopeExit release([this]() noexcept { m_parser.Clear(); });
    if (!m_parser.Load(answer))
    {
        return FALSE;  // the parser tells why
    }
    if (!win::EqualsNoCase(command, kStatusCommand))
    {
        WIN_REPORT_FAILURE("win::EqualsNoCase(command, kStatusCommand)", S_OK,
            L"only answers of " + std::wstring(kStatusCommand) + L" are read, not of " + command);
        return FALSE;
    }
    PrepareNodes(settings);
    const std::wstring responseNode = Lookup(settings, kKeyResponseNode, kDefaultResponseNode);
    if (!m_parser.FindNodes(responseNode, m_nodes))
    {
        WIN_REPORT_FAILURE("m_parser.FindNodes(responseNode, m_nodes)", S_OK,
            L"no element " + responseNode + L" holds a status element with a text");
        return FALSE;
    }
    const std::wstring norvixCode = m_nodes.GetValue(Lookup(settings, kKeyNorvixNode, kDefaultNorvixNode));
    const std::wstring paviseCode = m_nodes.GetValue(Lookup(settings, kKeyPaviseNode, kDefaultPaviseNode));
    const NorvixStatus norvix = ToNorvixStatus(settings, norvixCode);
    const PaviseStatus pavise = ToPaviseStatus(settings, paviseCode);
    if (norvix == NorvixStatus::Default || pavise == PaviseStatus::Default)
    {
        // Shown as "no usable answer": the buttons keep their default look until the service answers known codes.
        WIN_REPORT_FAILURE("status codes", S_OK,
            win::Format(L"a code this add-on does not know: definitions \"%ls\", web protection \"%ls\"",
                norvixCode.c_str(), paviseCode.c_str()));
    }
    const bool changed = norvix != previousNorvix || pavise != previousPavise;
    m_norvixStatus = static_cast<std::int32_t>(norvix);
    m_paviseStatus = static_cast<std::int32_t>(pavise);
    m_changed = changed ? 1 : 0;
    if (outcome)
    {
        *outcome = {pavise, norvix, changed};
    }
    return TRUE;
}

NorvixStatus APIDispatcher::ToNorvixStatus(platform::HostStrings* settings, const std::wstring& code)
{
    if (win::EqualsNoCase(code, Lookup(settings, kKeyUptodateCode, kDefaultUptodateCode)))
    {
        return NorvixStatus::Uptodate;
    }
    if (win::EqualsNoCase(code, Lookup(settings, kKeyUpdateCode, kDefaultUpdateCode)) ||
        win::EqualsNoCase(code, Lookup(settings, kKeyImmediateUpdateCode, kDefaultImmediateUpdateCode)))
    {
        return NorvixStatus::Update;
    }
    return NorvixStatus::Default;
}

PaviseStatus APIDispatcher::ToPaviseStatus(platform::HostStrings* settings, const std::wstring& code)
{
    if (win::EqualsNoCase(code, Lookup(settings, kKeyActivatedCode, kDefaultActivatedCode)))
    {
        return PaviseStatus::Activated;
    }
    if (win::EqualsNoCase(code, Lookup(settings, kKeyDeactivatedCode, kDefaultDeactivatedCode)))
    {
        return PaviseStatus::Deactivated;
    }
    return PaviseStatus::Default;
}

BOOL APIDispatcher::RequestUpdate()
{
    return RequestUpdate(m_owner, nullptr);
}

BOOL APIDispatcher::RequestUpdate(platform::HostStrings& settings, HANDLE abandon)
{
    return RequestUpdate(&settings, abandon);
}

BOOL APIDispatcher::RequestUpdate(platform::HostStrings* settings, HANDLE abandon)
{
    try
    {
        const std::wstring url =
            Lookup(settings, kKeyBaseUrl, kDefaultBaseUrl) + Lookup(settings, kKeyUpdateCommand, kDefaultUpdateCommand);
        const std::wstring headers = Lookup(settings, kKeyPostHeader, L"");
        const std::wstring data = Lookup(settings, kKeyPostData, L"");
        // Bounded like the query: without time-outs a service that accepts and never answers would hold the
        // worker for as long as the platform's defaults allow (without end on some).
        std::wstring ignored;
        return m_exchange.Post(
            DeadlineMs(), abandon, url, kUserAgent, headers, data, &m_options, /*readResponse=*/FALSE, ignored);
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("update request");
        return FALSE;
    }
}

BOOL APIDispatcher::SetStatuses(PaviseStatus pavise, NorvixStatus norvix) noexcept
{
    const auto paviseValue = static_cast<std::int32_t>(pavise);
    const auto norvixValue = static_cast<std::int32_t>(norvix);
    if (!IsValidPaviseStatus(paviseValue) || !IsValidNorvixStatus(norvixValue))
    {
        return FALSE;
    }
    m_paviseStatus = paviseValue;
    m_norvixStatus = norvixValue;
    return TRUE;
}

}  // namespace net
