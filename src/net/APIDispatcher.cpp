#include "net/APIDispatcher.h"

#include "net/XHttpAccess.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <algorithm>

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
constexpr const wchar_t* kKeyUpdateCode = L"KelTb.Str.API.Norvix.Update.Code";
constexpr const wchar_t* kKeyImmediateUpdateCode = L"KelTb.Str.API.Norvix.ImmediateUpdate.Code";
constexpr const wchar_t* kKeyActivatedCode = L"KelTb.Str.API.Pavise.Activated.Code";
constexpr const wchar_t* kKeyDeactivatedCode = L"KelTb.Str.API.Pavise.Deactivated.Code";

// The only status command whose answers are interpreted.
constexpr const wchar_t* kStatusCommand = L"GetStatus";

} // namespace

APIDispatcher::APIDispatcher()
{
    Reset();
}

BOOL APIDispatcher::Initialize(HostStrings* owner)
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

std::wstring APIDispatcher::Setting(const wchar_t* key, const wchar_t* defaultValue) const
{
    return m_owner ? m_owner->GetHostString(key, defaultValue) : std::wstring();
}

void APIDispatcher::ConfigureTimeouts()
{
    // A setting without a positive number of seconds would give 0 ms, which WinINet reads as "no time-out":
    // the query would then wait for a silent service for ever.
    const long long seconds = win::ParseDecimal(Setting(kKeyTimeout, kDefaultTimeout));
    const DWORD ms = seconds <= 0 ? kDefaultTimeoutMs : static_cast<DWORD>(std::min(seconds * 1000, 0x7FFFFFFFLL));
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
    try
    {
        const std::wstring command = Setting(kKeyStatusCommand, kDefaultStatusCommand);
        const std::wstring url = Setting(kKeyBaseUrl, kDefaultBaseUrl) + command;
        std::wstring answer;
        m_changed = 1;
        if (!XHttpAccess::Get(url, kUserAgent, TRUE, &m_options, TRUE, answer))
        {
            SetBoth(static_cast<std::int32_t>(NorvixStatus::ConnectionFailure));
            return FALSE;
        }
        // Each query starts from no known state; the codes are written once, at the end, so the UI thread never
        // sees a passing Default while the request runs.
        if (!Interpret(command, answer, PaviseStatus::Default, NorvixStatus::Default))
        {
            SetBoth(static_cast<std::int32_t>(NorvixStatus::Error));
            m_changed = 1;
            return FALSE;
        }
        return TRUE;
    }
    catch (...)
    {
        SetBoth(static_cast<std::int32_t>(NorvixStatus::Error));
        m_changed = 1;
        return FALSE;
    }
}

BOOL APIDispatcher::ParseAnswer(const std::wstring& command, const std::wstring& answer)
{
    return Interpret(command, answer, GetPaviseStatus(), GetNorvixStatus());
}

void APIDispatcher::PrepareNodes()
{
    m_nodes.RemoveAll();
    m_nodes.Add(std::make_unique<XXMLNode>(Setting(kKeyNorvixNode, kDefaultNorvixNode)));
    m_nodes.Add(std::make_unique<XXMLNode>(Setting(kKeyPaviseNode, kDefaultPaviseNode)));
}

BOOL APIDispatcher::Interpret(const std::wstring& command, const std::wstring& answer, PaviseStatus previousPavise,
                              NorvixStatus previousNorvix)
{
    // The document is released here, on the thread that made it (the polling worker), before that thread and its
    // COM apartment end; nothing reads it after the two codes.
    const win::ScopeExit release([this]() noexcept { m_parser.Clear(); });
    if (!m_parser.Load(answer) || !win::EqualsNoCase(command, kStatusCommand))
    {
        return FALSE;
    }
    PrepareNodes();
    if (!m_parser.FindNodes(Setting(kKeyResponseNode, kDefaultResponseNode), m_nodes))
    {
        return FALSE;
    }
    const NorvixStatus norvix = ToNorvixStatus(m_nodes.GetValue(Setting(kKeyNorvixNode, kDefaultNorvixNode)));
    const PaviseStatus pavise = ToPaviseStatus(m_nodes.GetValue(Setting(kKeyPaviseNode, kDefaultPaviseNode)));
    m_norvixStatus = static_cast<std::int32_t>(norvix);
    m_paviseStatus = static_cast<std::int32_t>(pavise);
    m_changed = (norvix != previousNorvix || pavise != previousPavise) ? 1 : 0;
    return TRUE;
}

NorvixStatus APIDispatcher::ToNorvixStatus(const std::wstring& code) const
{
    if (win::EqualsNoCase(code, Setting(kKeyUptodateCode, L"green")))
    {
        return NorvixStatus::Uptodate;
    }
    if (win::EqualsNoCase(code, Setting(kKeyUpdateCode, L"yellow")) ||
        win::EqualsNoCase(code, Setting(kKeyImmediateUpdateCode, L"red")))
    {
        return NorvixStatus::Update;
    }
    return NorvixStatus::Default;
}

PaviseStatus APIDispatcher::ToPaviseStatus(const std::wstring& code) const
{
    if (win::EqualsNoCase(code, Setting(kKeyActivatedCode, L"enabled")))
    {
        return PaviseStatus::Activated;
    }
    if (win::EqualsNoCase(code, Setting(kKeyDeactivatedCode, L"disabled")))
    {
        return PaviseStatus::Deactivated;
    }
    return PaviseStatus::Default;
}

BOOL APIDispatcher::RequestUpdate()
{
    try
    {
        const std::wstring url =
            Setting(kKeyBaseUrl, kDefaultBaseUrl) + Setting(kKeyUpdateCommand, kDefaultUpdateCommand);
        const std::wstring headers = Setting(kKeyPostHeader, L"");
        const std::wstring data = Setting(kKeyPostData, L"");
        // Bounded by the query's time-outs: without them a service that accepts and never answers would hold
        // the worker, and with it the browser's shutdown, for as long as the platform's defaults allow
        // (without end on some).
        std::wstring ignored;
        return XHttpAccess::Post(url, kUserAgent, headers, data, &m_options, FALSE, ignored);
    }
    catch (...)
    {
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
