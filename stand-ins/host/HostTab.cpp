#include "HostTab.h"

#include "EventBroadcast.h"
#include "HostApp.h"
#include "Output.h"

#include "toolbar/HostToolbarInterface.h"
#include "win/Bstr.h"
#include "win/Strings.h"
#include "win/Variant.h"

#include <commctrl.h>

#include <algorithm>

namespace kelhost
{
namespace
{
// How often the host looks at what the add-on's overlays show (they draw themselves; nothing tells the host).
constexpr UINT_PTR kOverlayWatchTimer = 1;
constexpr UINT kOverlayWatchMs = 25;

std::wstring HandleText(HWND window)
{
    return win::Format(L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
}

}  // namespace

bool HostTab::RegisterFrameClass()
{
    WNDCLASSEXW frameClass{sizeof(frameClass)};
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, kFrameClassName, &frameClass))
    {
        return true;
    }
    frameClass = WNDCLASSEXW{sizeof(frameClass)};
    frameClass.lpfnWndProc = &HostTab::FrameProc;
    frameClass.hInstance = instance;
    frameClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frameClass.lpszClassName = kFrameClassName;
    return ::RegisterClassExW(&frameClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

namespace
{

// Calls a method of the control by name with DISPATCH_METHOD; the method's long result goes to `result`.
HRESULT CallByName(
    IDispatch* control, const wchar_t* name, DISPID& cachedId, VARIANTARG* args, UINT count, long& result)
{
    if (cachedId == DISPID_UNKNOWN)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &cachedId);
        if (FAILED(hr))
        {
            cachedId = DISPID_UNKNOWN;
            return hr;
        }
    }
    DISPPARAMS params{args, nullptr, count, 0};
    win::Variant answer;
    EXCEPINFO exception{};
    UINT argErr = 0;
    const HRESULT hr = control->Invoke(
        cachedId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.Put(), &exception, &argErr);
    win::Variant number;
    result =
        SUCCEEDED(hr) && SUCCEEDED(::VariantChangeType(number.Put(), answer.Get(), 0, VT_I4)) ? number.Get()->lVal : 0;
    // The exception's texts belong to the caller.
    win::Bstr::Attach(exception.bstrSource);
    win::Bstr::Attach(exception.bstrDescription);
    win::Bstr::Attach(exception.bstrHelpFile);
    return hr;
}
}  // namespace

HostTab::HostTab(HostApp& app, int number)
    : m_app(app),
      m_number(number),
      m_toolbar(HostToolbar::Handlers{app.Options().buttonReports
              ? std::function<void(const ButtonState&)>(
                    [this](const ButtonState& state) { Report(FormatButtonState(state)); })
              : nullptr,
          [this](UINT id, std::wstring_view text, bool taken) {
              Report(win::Format(L"attribute %u %ls taken=%d", id, Quote(text).c_str(), taken ? 1 : 0));
          },
          [this](const ToolbarEvent& event) {
              SpringTrap(TrapKind::Event, event.name);
              const int reached = BroadcastToolbarEvent(event, m_frame);
              Report(win::Format(L"fire %ls %d windows=%d", Quote(event.name).c_str(), event.number, reached));
              return true;
          },
          [this] { Report(L"layout"); }})
{
}

HostTab::~HostTab()
{
    Close();
}

void HostTab::Report(const std::wstring& text) const
{
    WriteLine(win::Format(L"tab %d ", m_number) + text);
}

bool HostTab::Open()
{
    if (m_frame || !RegisterFrameClass())
    {
        return false;
    }
    const std::wstring title = win::Format(L"KelHost tab %d", m_number);
    m_frame = ::CreateWindowExW(0, kFrameClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        40 + 20 * (m_number % 10), 40 + 30 * (m_number % 10), 900, 140, nullptr, nullptr, ::GetModuleHandleW(nullptr),
        this);
    if (!m_frame)
    {
        return false;
    }
    if (!m_toolbar.Create(m_frame))
    {
        ::DestroyWindow(m_frame);
        m_frame = nullptr;
        return false;
    }
    ::ShowWindow(m_frame, SW_SHOWNOACTIVATE);
    if (m_app.Options().overlayWatch)
    {
        ::SetTimer(m_frame, kOverlayWatchTimer, kOverlayWatchMs, nullptr);
    }
    m_browser = win::ComPtr<HostBrowser>::Attach(HostBrowser::Create(m_frame, [this](const Navigation& navigation) {
        Report(win::Format(L"navigate url=%ls flags=%ls", Quote(navigation.url).c_str(), navigation.flags.c_str()));
        const int number = m_number;
        const std::wstring url = navigation.url;
        m_app.Post([app = &m_app, number, url] {
            if (HostTab* tab = app->FindTab(number); tab && tab->m_browser)
            {
                tab->m_browser->FireNavigateComplete(url);
            }
        });
    }));
    m_dispatch =
        win::ComPtr<HostDispatch>::Attach(HostDispatch::Create(m_app.Settings(), m_app.Macros(), m_toolbar.Hwnd()));
    m_dispatch->SetLookupHook([this](const std::wstring& key) { SpringTrap(TrapKind::Setting, key); });
    Report(
        win::Format(L"open window=%ls toolbar=%ls", HandleText(m_frame).c_str(), HandleText(m_toolbar.Hwnd()).c_str()));
    return true;
}

void HostTab::StartControl(const CLSID& clsid)
{
    win::ComPtr<IUnknown> created;
    HRESULT hr;
    bool perUser = false;
    std::wstring module;
    {
        HostApp::ControlCall call(m_app);
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, created.PutVoid());
        if (hr == REGDB_E_CLASSNOTREG)
        {
            const HRESULT userHr = m_app.UserClasses().Create(clsid, IID_IUnknown, created.PutVoid(), module);
            perUser = userHr != REGDB_E_CLASSNOTREG;
            hr = perUser ? userHr : hr;
        }
    }
    if (FAILED(hr))
    {
        Report(win::Format(L"control failed step=create hr=%ls%ls", HexResult(hr).c_str(),
            perUser ? (L" module=" + Quote(module) + L" per-user=1").c_str() : L""));
        return;
    }
    Report(win::Format(L"control created module=%ls%ls", Quote(ModuleOfObject(created.Get())).c_str(),
        perUser ? L" per-user=1" : L""));
    win::ComPtr<IToolbarSecurity> security;
    hr = created.As(security);
    if (SUCCEEDED(hr))
    {
        HostApp::ControlCall call(m_app);
        hr = security->EnableToolbarScripting();
    }
    Report(win::Format(L"unlock hr=%ls", HexResult(hr).c_str()));
    security.Reset();

    win::ComPtr<IDispatch> control;
    hr = created.As(control);
    if (FAILED(hr))
    {
        Report(win::Format(L"control failed step=dispatch hr=%ls", HexResult(hr).c_str()));
        HostApp::ControlCall call(m_app);
        created.Reset();
        return;
    }
    created.Reset();
    m_control = control;
    CallStartup(control.Get());
}

void HostTab::CallStartup(IDispatch* control)
{
    // Arguments in reverse order: the browser first in the call, so last in the array.
    const UINT ids[] = {kSearchCommandId, kLogoCommandId, kPaviseCommandId, kUpdateCommandId, kOptionsCommandId};
    win::Variant browser(static_cast<IDispatch*>(static_cast<IWebBrowser2*>(m_browser.Get())));
    win::Variant hostObject(static_cast<IDispatch*>(m_dispatch.Get()));
    VARIANTARG args[7];
    args[6] = *browser.Get();
    args[5] = *hostObject.Get();
    for (int i = 0; i < 5; ++i)
    {
        args[4 - i].vt = VT_I4;
        args[4 - i].lVal = static_cast<LONG>(ids[i]);
    }
    long result = 0;
    DISPID startupId = DISPID_UNKNOWN;
    HRESULT hr;
    {
        HostApp::ControlCall call(m_app);
        hr = CallByName(control, L"StartupToolbar", startupId, args, 7, result);
    }
    Report(win::Format(L"startup hr=%ls result=%ls", HexResult(hr).c_str(), HexResult(result).c_str()));
}

void HostTab::SetTrap(TrapAction action, TrapKind kind, std::wstring name)
{
    m_trap = Trap{action, kind, std::move(name)};
}

void HostTab::SpringTrap(TrapKind kind, const std::wstring& name)
{
    if (!m_trap || m_trap->kind != kind || m_trap->name != name || !m_control)
    {
        return;
    }
    const TrapAction action = m_trap->action;
    m_trap.reset();
    Report(win::Format(L"trap %ls %ls %ls", action == TrapAction::Close ? L"close" : L"restart",
        kind == TrapKind::Event ? L"event" : L"setting", Quote(name).c_str()));
    if (action == TrapAction::Restart)
    {
        const win::ComPtr<IDispatch> control = m_control;
        CallStartup(control.Get());
        return;
    }
    {
        // The host's last reference: what the control does after it, it does on its own.
        HostApp::ControlCall call(m_app);
        win::ComPtr<IDispatch> control = std::move(m_control);
        control.Reset();
    }
    Report(L"control released");
    const int number = m_number;
    m_app.Post([app = &m_app, number] { app->CloseTab(number); });
}

void HostTab::DeliverEvent(const ToolbarEvent& event)
{
    if (!m_control)
    {
        Report(win::Format(L"event %ls control=none", Quote(event.name).c_str()));
        return;
    }
    // Keep the control alive through the call even if the call closes the tab.
    const win::ComPtr<IDispatch> control = m_control;
    win::Variant name(std::wstring_view(event.name));
    VARIANTARG args[1] = {*name.Get()};
    long result = 0;
    HRESULT hr;
    {
        HostApp::ControlCall call(m_app);
        hr = CallByName(control.Get(), L"OnEvent", m_onEventId, args, 1, result);
    }
    Report(win::Format(
        L"event %ls hr=%ls result=%ls", Quote(event.name).c_str(), HexResult(hr).c_str(), HexResult(result).c_str()));
}

void HostTab::Close()
{
    if (!m_frame)
    {
        return;
    }
    if (m_control)
    {
        // Taken out first, so nothing delivered while the control shuts down can reach it.
        win::ComPtr<IDispatch> control = std::move(m_control);
        HostApp::ControlCall call(m_app);
        control.Reset();
        Report(L"control released");
    }
    if (m_browser)
    {
        m_browser->Close();
        m_browser.Reset();
    }
    if (m_dispatch)
    {
        m_dispatch->Detach();
        m_dispatch.Reset();
    }
    m_toolbar.Destroy();
    ::SetWindowLongPtrW(m_frame, GWLP_USERDATA, 0);
    ::DestroyWindow(m_frame);
    m_frame = nullptr;
    Report(L"closed");
}

bool HostTab::Hover(const ButtonDefinition& button, std::wstring& where)
{
    const auto state = m_toolbar.State(button.id);
    if (!state || !state->visible)
    {
        where = L"button hidden";
        return false;
    }
    RECT rect{};
    if (const HWND overlay = m_toolbar.OverlayOver(button.id))
    {
        ::GetWindowRect(overlay, &rect);
    }
    else
    {
        ::SendMessageW(m_toolbar.Hwnd(), TB_GETRECT, button.id, reinterpret_cast<LPARAM>(&rect));
        ::MapWindowPoints(m_toolbar.Hwnd(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    }
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ::SetCursorPos(centre.x, centre.y);
    where = win::Format(
        L"x=%ld y=%ld rect=%ld,%ld,%ld,%ld", centre.x, centre.y, rect.left, rect.top, rect.right, rect.bottom);
    return true;
}

bool HostTab::Click(const ButtonDefinition& button, std::wstring& how)
{
    const auto state = m_toolbar.State(button.id);
    if (!state || !state->visible)
    {
        how = L"button hidden";
        return false;
    }
    if (const HWND overlay = m_toolbar.OverlayOver(button.id))
    {
        RECT client{};
        ::GetClientRect(overlay, &client);
        POINT centre{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
        POINT screen = centre;
        ::ClientToScreen(overlay, &screen);
        ::SetCursorPos(screen.x, screen.y);
        const LPARAM at = MAKELPARAM(centre.x, centre.y);
        ::PostMessageW(overlay, WM_MOUSEMOVE, 0, at);
        ::PostMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(overlay, WM_LBUTTONUP, 0, at);
        how = win::Format(L"overlay x=%ld y=%ld", centre.x, centre.y);
        return true;
    }
    if (!state->enabled)
    {
        how = L"button disabled";
        return false;
    }
    ::SendMessageW(m_frame, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED), reinterpret_cast<LPARAM>(m_toolbar.Hwnd()));
    how = L"command";
    return true;
}

LRESULT HostTab::Relayout()
{
    LRESULT result;
    {
        HostApp::ControlCall call(m_app);
        result = ::SendMessageW(m_toolbar.Hwnd(), host::kMsgRelayout, 1, 0);
    }
    Report(win::Format(L"relayout result=%lld", static_cast<long long>(result)));
    return result;
}

LRESULT HostTab::SendPreferencesChanged()
{
    HostApp::ControlCall call(m_app);
    return ::SendMessageW(m_toolbar.Hwnd(), host::kMsgPreferences, 1, 0);
}

void HostTab::PrintState(const wchar_t* prefix) const
{
    for (const auto& state : m_toolbar.States())
    {
        WriteLine(win::Format(L"%lstab %d ", prefix, m_number) + FormatButtonState(state));
    }
    for (const auto& state : m_toolbar.OverlayStates())
    {
        WriteLine(win::Format(L"%lstab %d ", prefix, m_number) + FormatOverlayState(state));
    }
}

void HostTab::ReportOverlayChanges()
{
    auto now = m_toolbar.OverlayStates();
    for (const auto& state : now)
    {
        const auto old =
            std::find_if(m_overlays.begin(), m_overlays.end(), [&](const OverlayState& o) { return o.id == state.id; });
        if (old == m_overlays.end() || !(*old == state))
        {
            Report(FormatOverlayState(state));
        }
    }
    m_overlays = std::move(now);
}

LRESULT CALLBACK HostTab::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE)
    {
        auto* tab = static_cast<HostTab*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tab));
        tab->m_frame = window;
    }
    auto* tab = reinterpret_cast<HostTab*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!tab)
    {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try
    {
        return tab->OnFrameMessage(message, wParam, lParam);
    }
    catch (...)
    {
        return 0;
    }
}

LRESULT HostTab::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == kOverlayWatchTimer)
        {
            ReportOverlayChanges();
            return 0;
        }
        break;
    case WM_SIZE:
        if (const HWND toolbar = m_toolbar.Hwnd())
        {
            // A resize can come from any loop; the add-on's layout runs as a control call all the same.
            HostApp::ControlCall call(m_app);
            ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
            ::SendMessageW(toolbar, host::kMsgRelayout, 1, 0);
        }
        return 0;
    case WM_COPYDATA:
    {
        ToolbarEvent event;
        if (!DecodeToolbarEvent(reinterpret_cast<const COPYDATASTRUCT*>(lParam), event))
        {
            return FALSE;
        }
        const int number = m_number;
        m_app.Post([app = &m_app, number, event] {
            if (HostTab* tab = app->FindTab(number))
            {
                tab->DeliverEvent(event);
            }
        });
        return TRUE;
    }
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == m_toolbar.Hwnd() && m_toolbar.Hwnd())
        {
            const UINT id = LOWORD(wParam);
            const ButtonDefinition* button = FindButton(id);
            Report(win::Format(L"command %u %ls", id, button ? button->name : L""));
            return 0;
        }
        break;
    case WM_NOTIFY:
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->code == TTN_GETDISPINFOW)
        {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            // A button under an add-on overlay has the overlay's tooltip only.
            const UINT id = static_cast<UINT>(header->idFrom);
            info->lpszText = const_cast<wchar_t*>(m_toolbar.OverlayOver(id) ? L"" : m_toolbar.Tooltip(id));
            return 0;
        }
        if (header && header->code == NM_CUSTOMDRAW && header->hwndFrom == m_toolbar.Hwnd() && m_toolbar.Hwnd())
        {
            // A button that an add-on overlay covers is the overlay's to draw. The overlay paints the toolbar
            // under itself as its background, so the host's own caption and icon would show through.
            auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(lParam);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            {
                return CDRF_NOTIFYITEMDRAW;
            }
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
                m_toolbar.OverlayOver(static_cast<UINT>(draw->nmcd.dwItemSpec)))
            {
                return CDRF_SKIPDEFAULT;
            }
            return CDRF_DODEFAULT;
        }
        break;
    }
    case WM_CLOSE:
    {
        const int number = m_number;
        m_app.Post([app = &m_app, number] { app->CloseTab(number); });
        return 0;
    }
    default: break;
    }
    return ::DefWindowProcW(m_frame, message, wParam, lParam);
}

}  // namespace kelhost
