#include "HostApp.h"

#include "EventBroadcast.h"
#include "Output.h"

#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

namespace kelhost
{
namespace
{
constexpr wchar_t kWindowClass[] = L"KelHostMessages";
constexpr UINT kMsgDrain = WM_APP + 1;
constexpr UINT kMsgLine = WM_APP + 2;
constexpr UINT kMsgEndOfInput = WM_APP + 3;
constexpr UINT_PTR kWaitTimer = 1;
// A wait longer than a day is a mistake in the script, not a wish.
constexpr unsigned long kMaxWaitMs = 24ul * 60 * 60 * 1000;

std::wstring ToolbarKeyPath(const HostSettings& settings, const wchar_t* subkeySetting, const wchar_t* subkeyDefault)
{
    return L"Software\\KelToolbar\\" + settings.Lookup(subkeySetting, subkeyDefault);
}
}  // namespace

HostApp::ControlCall::~ControlCall()
{
    if (--m_app.m_controlCalls == 0)
    {
        m_app.RequestDrain();
    }
}

HostApp::HostApp(HostOptions options) : m_options(std::move(options))
{
}

HostApp::~HostApp()
{
    m_tabs.clear();
    if (m_window)
    {
        ::DestroyWindow(m_window);
    }
}

bool HostApp::Start()
{
    if (m_options.browserFrame)
    {
        m_browserFrame = win::LoadSystemLibrary(L"ieframe.dll");
    }
    if (!m_options.settingsFile.empty())
    {
        std::vector<std::wstring> problems;
        if (!m_settings->LoadFile(m_options.settingsFile, problems))
        {
            WriteLine(L"error settings cannot read " + Quote(m_options.settingsFile));
            return false;
        }
        for (const auto& problem : problems)
        {
            WriteLine(L"settings skipped " + Quote(problem));
        }
        WriteLine(
            win::Format(L"settings file=%ls values=%zu", Quote(m_options.settingsFile).c_str(), m_settings->Size()));
    }
    // The installation GUID where the add-on reads it; a fixed one when the toolbar has none.
    const win::RegKey macroKey =
        win::OpenRegKey(HKEY_CURRENT_USER, ToolbarKeyPath(*m_settings, L"KelTb.Str.Macro.RegistryKey", L"Macro"));
    std::wstring guid;
    if (macroKey &&
        win::ReadRegString(
            macroKey.Get(), m_settings->Lookup(L"KelTb.Str.GUID.RegistryValue", L"guid").c_str(), guid) &&
        !guid.empty())
    {
        m_macros->guid = guid;
    }

    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = &HostApp::WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    {
        WriteLine(L"error start cannot register the message window");
        return false;
    }
    m_window = ::CreateWindowExW(
        0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!m_window)
    {
        WriteLine(L"error start cannot create the message window");
        return false;
    }
    WriteLine(win::Format(L"kelhost pid=%lu control=%ls", ::GetCurrentProcessId(),
        m_options.noControl ? L"none" : (m_options.clsid.empty() ? m_options.progId : m_options.clsid).c_str()));
    Post([this] {
        for (int i = 0; i < m_options.tabs; ++i)
        {
            OpenTab();
        }
        WriteLine(win::Format(L"ready tabs=%zu", m_tabs.size()));
    });
    return true;
}

int HostApp::Run()
{
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

void HostApp::PostLine(HWND window, std::wstring line)
{
    auto* copy = new std::wstring(std::move(line));
    if (!::PostMessageW(window, kMsgLine, 0, reinterpret_cast<LPARAM>(copy)))
    {
        delete copy;
    }
}

void HostApp::PostEndOfInput(HWND window)
{
    ::PostMessageW(window, kMsgEndOfInput, 0, 0);
}

void HostApp::Post(std::function<void()> work)
{
    m_work.push_back(std::move(work));
    RequestDrain();
}

void HostApp::RequestDrain() noexcept
{
    if (m_window)
    {
        ::PostMessageW(m_window, kMsgDrain, 0, 0);
    }
}

void HostApp::Drain()
{
    if (m_draining || m_controlCalls > 0)
    {
        return;  // the loop that is already running (or the host's own loop, later) picks the work up
    }
    m_draining = true;
    for (;;)
    {
        if (!m_work.empty())
        {
            auto work = std::move(m_work.front());
            m_work.pop_front();
            work();
            continue;
        }
        if (m_waiting || m_quitting || m_commands.empty())
        {
            break;
        }
        const std::wstring line = std::move(m_commands.front());
        m_commands.pop_front();
        if (!Execute(line))
        {
            Quit();
            break;
        }
    }
    m_draining = false;
}

HostTab* HostApp::FindTab(int number) noexcept
{
    for (const auto& tab : m_tabs)
    {
        if (tab->Number() == number)
        {
            return tab.get();
        }
    }
    return nullptr;
}

bool HostApp::ResolveControlClass(CLSID& clsid)
{
    HRESULT hr;
    if (!m_options.clsid.empty())
    {
        hr = ::CLSIDFromString(m_options.clsid.c_str(), &clsid);
    }
    else
    {
        hr = ::CLSIDFromProgID(m_options.progId.c_str(), &clsid);
        if (hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG)
        {
            const HRESULT userHr = PerUserClasses::ClassOfProgId(m_options.progId, clsid);
            hr = SUCCEEDED(userHr) ? userHr : hr;
        }
    }
    if (FAILED(hr))
    {
        WriteLine(win::Format(L"error control class %ls hr=%ls",
            Quote(m_options.clsid.empty() ? m_options.progId : m_options.clsid).c_str(), HexResult(hr).c_str()));
        return false;
    }
    return true;
}

HostTab* HostApp::OpenTab()
{
    auto tab = std::make_unique<HostTab>(*this, m_nextTab++);
    if (!tab->Open())
    {
        WriteLine(win::Format(L"error open tab %d cannot create its windows", tab->Number()));
        return nullptr;
    }
    HostTab* opened = tab.get();
    m_tabs.push_back(std::move(tab));
    CLSID clsid{};
    if (!m_options.noControl && ResolveControlClass(clsid))
    {
        opened->StartControl(clsid);
    }
    return opened;
}

void HostApp::CloseTab(int number)
{
    for (auto it = m_tabs.begin(); it != m_tabs.end(); ++it)
    {
        if ((*it)->Number() == number)
        {
            // Out of the list first: work that arrives while the control shuts down finds no tab.
            std::unique_ptr<HostTab> tab = std::move(*it);
            m_tabs.erase(it);
            tab->Close();
            return;
        }
    }
}

bool HostApp::ForTabs(const std::wstring& which, const std::wstring& verb, const std::function<void(HostTab&)>& action)
{
    if (which.empty())
    {
        std::vector<int> numbers;
        for (const auto& tab : m_tabs)
        {
            numbers.push_back(tab->Number());
        }
        for (const int number : numbers)
        {
            if (HostTab* tab = FindTab(number))
            {
                action(*tab);
            }
        }
        return true;
    }
    unsigned long number = 0;
    HostTab* tab = ParseCount(which, 1000000, number) ? FindTab(static_cast<int>(number)) : nullptr;
    if (!tab)
    {
        WriteLine(L"error " + verb + L" no tab " + Quote(which));
        return false;
    }
    action(*tab);
    return true;
}

bool HostApp::Execute(const std::wstring& line)
{
    const CommandLine command = SplitCommand(line);
    const std::wstring& verb = command.verb;
    if (verb.empty() || verb[0] == L'#')
    {
        return true;
    }
    if (verb == L"quit" || verb == L"exit")
    {
        return false;
    }
    if (verb == L"help")
    {
        std::wstring_view text = HelpText();
        while (!text.empty())
        {
            const size_t end = text.find(L'\n');
            WriteLine(L"# " + std::wstring(text.substr(0, end)));
            text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
        }
        WriteLine(L"ok help");
    }
    else if (verb == L"open")
    {
        if (HostTab* tab = OpenTab())
        {
            WriteLine(win::Format(L"ok open %d", tab->Number()));
        }
        else
        {
            WriteLine(L"error open the tab's windows cannot be created");
        }
    }
    else if (verb == L"close")
    {
        unsigned long number = 0;
        if (!ParseCount(command.rest, 1000000, number) || !FindTab(static_cast<int>(number)))
        {
            WriteLine(L"error close no tab " + Quote(command.rest));
            return true;
        }
        CloseTab(static_cast<int>(number));
        WriteLine(win::Format(L"ok close %lu", number));
    }
    else if (verb == L"trap")
    {
        const auto [which, rest] = SplitWord(command.rest);
        const auto [actionText, trigger] = SplitWord(rest);
        const auto [kind, name] = SplitWord(trigger);
        unsigned long number = 0;
        HostTab* tab = ParseCount(which, 1000000, number) ? FindTab(static_cast<int>(number)) : nullptr;
        if (!tab)
        {
            WriteLine(L"error trap no tab " + Quote(which));
        }
        else if ((actionText != L"close" && actionText != L"restart") || (kind != L"event" && kind != L"setting") ||
            name.empty())
        {
            WriteLine(L"error trap expected close|restart event|setting NAME");
        }
        else
        {
            tab->SetTrap(actionText == L"close" ? HostTab::TrapAction::Close : HostTab::TrapAction::Restart,
                kind == L"event" ? HostTab::TrapKind::Event : HostTab::TrapKind::Setting, name);
            WriteLine(win::Format(L"ok trap %d", tab->Number()));
        }
    }
    else if (verb == L"click" || verb == L"hover")
    {
        const auto [which, buttonText] = SplitWord(command.rest);
        unsigned long number = 0;
        HostTab* tab = ParseCount(which, 1000000, number) ? FindTab(static_cast<int>(number)) : nullptr;
        const ButtonDefinition* button = FindButton(buttonText);
        std::wstring how;
        if (!tab)
        {
            WriteLine(L"error " + verb + L" no tab " + Quote(which));
        }
        else if (!button)
        {
            WriteLine(L"error " + verb + L" no button " + Quote(buttonText));
        }
        else if (!(verb == L"click" ? tab->Click(*button, how) : tab->Hover(*button, how)))
        {
            WriteLine(L"error " + verb + L" " + how);
        }
        else
        {
            WriteLine(win::Format(L"ok %ls %d %u %ls", verb.c_str(), tab->Number(), button->id, how.c_str()));
        }
    }
    else if (verb == L"event")
    {
        const ToolbarEvent event{command.rest, 1};
        if (!IsValidEventName(event.name))
        {
            WriteLine(L"error event bad name " + Quote(event.name));
            return true;
        }
        const int reached = BroadcastToolbarEvent(event, m_window);
        WriteLine(win::Format(L"fire %ls windows=%d", Quote(event.name).c_str(), reached));
        WriteLine(L"ok event");
    }
    else if (verb == L"pref")
    {
        const auto [name, value] = SplitWord(command.rest);
        if (!win::EqualsNoCase(name, L"textlabels"))
        {
            WriteLine(L"error pref unknown preference " + Quote(name));
            return true;
        }
        const win::RegKey key =
            win::CreateRegKey(HKEY_CURRENT_USER, ToolbarKeyPath(*m_settings, L"KelTb.Str.Prefs.RegistryKey", L"Prefs"));
        const std::wstring valueName = m_settings->Lookup(L"KelTb.Str.TextLabels.RegistryValue", L"TextLabels");
        if (!key || !win::WriteRegString(key.Get(), valueName.c_str(), value))
        {
            WriteLine(L"error pref cannot write the preference");
            return true;
        }
        ForTabs(L"", verb, [](HostTab& tab) { tab.SendPreferencesChanged(); });
        WriteLine(L"ok pref textlabels " + Quote(value));
    }
    else if (verb == L"relayout")
    {
        if (ForTabs(command.rest, verb, [](HostTab& tab) { tab.Relayout(); }))
        {
            WriteLine(L"ok relayout");
        }
    }
    else if (verb == L"state")
    {
        if (ForTabs(command.rest, verb, [](HostTab& tab) { tab.PrintState(L"state "); }))
        {
            WriteLine(L"ok state");
        }
    }
    else if (verb == L"set")
    {
        const size_t equals = command.rest.find(L'=');
        std::wstring key = equals == std::wstring::npos ? std::wstring() : win::Trim(command.rest.substr(0, equals));
        if (key.empty())
        {
            WriteLine(L"error set expects KEY=VALUE");
            return true;
        }
        std::wstring value = win::Trim(std::wstring_view(command.rest).substr(equals + 1));
        m_settings->Set(key, value);
        WriteLine(L"ok set " + Quote(key) + L" " + Quote(value));
    }
    else if (verb == L"wait")
    {
        unsigned long ms = 0;
        if (!ParseCount(command.rest, kMaxWaitMs, ms))
        {
            WriteLine(L"error wait expects milliseconds");
            return true;
        }
        m_waiting = true;
        ::SetTimer(m_window, kWaitTimer, ms == 0 ? 1 : ms, nullptr);
    }
    else if (verb == L"busy")
    {
        unsigned long ms = 0;
        if (!ParseCount(command.rest, kMaxWaitMs, ms))
        {
            WriteLine(L"error busy expects milliseconds");
            return true;
        }
        // A window caught in long work: this thread handles no message at all meanwhile, neither posted nor
        // sent, as a browser's UI thread stuck in a page's script would.
        WriteLine(L"busy " + std::to_wstring(ms));
        ::Sleep(ms);
        WriteLine(L"ok busy");
    }
    else
    {
        WriteLine(L"error " + verb + L" unknown command");
    }
    return true;
}

void HostApp::Quit()
{
    if (m_quitting)
    {
        return;
    }
    m_quitting = true;
    ::KillTimer(m_window, kWaitTimer);
    while (!m_tabs.empty())
    {
        CloseTab(m_tabs.front()->Number());
    }
    WriteLine(L"bye");
    ::PostQuitMessage(0);
}

LRESULT CALLBACK HostApp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE)
    {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        if (auto* app = static_cast<HostApp*>(create->lpCreateParams))
        {
            app->m_window = window;
        }
    }
    auto* app = reinterpret_cast<HostApp*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!app || message == WM_NCCREATE)
    {
        if (message == kMsgLine)
        {
            delete reinterpret_cast<std::wstring*>(lParam);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try
    {
        return app->OnMessage(message, wParam, lParam);
    }
    catch (...)
    {
        return 0;
    }
}

LRESULT HostApp::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case kMsgLine:
    {
        std::unique_ptr<std::wstring> line(reinterpret_cast<std::wstring*>(lParam));
        if (!m_quitting)
        {
            m_commands.push_back(std::move(*line));
            Drain();
        }
        return 0;
    }
    case kMsgEndOfInput:
        if (!m_quitting)
        {
            m_commands.push_back(L"quit");
            Drain();
        }
        return 0;
    case kMsgDrain: Drain(); return 0;
    case WM_TIMER:
        if (wParam == kWaitTimer)
        {
            ::KillTimer(m_window, kWaitTimer);
            if (m_waiting)
            {
                m_waiting = false;
                WriteLine(L"ok wait");
                Drain();
            }
            return 0;
        }
        break;
    case WM_NCDESTROY:
    {
        const HWND window = m_window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        m_window = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    default: break;
    }
    return ::DefWindowProcW(m_window, message, wParam, lParam);
}

}  // namespace kelhost
