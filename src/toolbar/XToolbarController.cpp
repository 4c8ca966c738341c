#include "toolbar/XToolbarController.h"

#include "platform/BrowserUtilities.h"
#include "toolbar/XToolbarButtonControl.h"
#include "toolbar/XToolbarDispatcherWindow.h"
#include "toolbar/XToolbarWindow.h"
#include "win/Bstr.h"
#include "win/FailureReport.h"
#include "win/Scope.h"
#include "win/Strings.h"
#include "win/ThreadAffinity.h"
#include "win/Variant.h"

#include <commctrl.h>

#include <algorithm>

namespace toolbar
{

namespace
{

// One flag for the whole module: the first start-up message of any control runs OnPostStartUp.
std::atomic<bool> s_postStartUpDone{false};

constexpr wchar_t kOptionsButton[] = L"CID_KEL_OPTIONS";
constexpr DWORD kSafeForScripting = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

// An event name goes into a quoted script literal; anything that could end the literal or the line is refused.
bool IsSafeEventName(const std::wstring& name) noexcept
{
    return std::none_of(name.begin(), name.end(),
        [](wchar_t c) { return c == L'"' || c == L'\\' || c == L'\'' || c < 0x20 || c == 0x2028 || c == 0x2029; });
}

}  // namespace

XToolbarController::XToolbarController(const CLSID& classId, const IID& dispatchIid, const IID& eventsIid)
    : OleControl(classId, dispatchIid, eventsIid)
{
    AddInterface({&IID_IObjectSafety, [](win::ComObject* object) noexcept -> IUnknown* {
                      return &static_cast<XToolbarController*>(object)->m_objectSafety;
                  }});
    AddInterface({&__uuidof(IToolbarSecurity), [](win::ComObject* object) noexcept -> IUnknown* {
                      return &static_cast<XToolbarController*>(object)->m_toolbarSecurity;
                  }});
    m_browserMajorVersion = platform::GetIEMajorVersion();
}

XToolbarController::~XToolbarController()
{
    // The subclass goes first, so destroying the overlays cannot call back into a half-destroyed control.
    DestroyDispatcherWindow();
    DropToolbarWindow();
    DestroyButtonControls();
    DetachBrowser();
}

void XToolbarController::OnFinalRelease() noexcept
{
    m_hostToolbar.Release();
    ShutDown();
}

BOOL XToolbarController::IsInvokeAllowed(DISPID id) noexcept
{
    return m_scriptingAllowed ? OleControl::IsInvokeAllowed(id) : FALSE;
}

DWORD XToolbarController::GetControlFlags() const noexcept
{
    return OleControl::GetControlFlags() | kWindowlessActivate;
}

void XToolbarController::ProcessControllerMessage(LPARAM)
{
}

void XToolbarController::OnButtonClicked(const std::wstring&)
{
}

void XToolbarController::ResetPostStartUpForTesting() noexcept
{
    s_postStartUpDone = false;
}

void XToolbarController::PostStartUp()
{
    // A start-up message that the wait of a shutdown pumps finds the control going: its window would not be seen,
    // so it neither runs the work nor takes the module's one turn from the windows that stay.
    if (m_shuttingDown)
    {
        return;
    }
    if (!s_postStartUpDone.exchange(true))
    {
        OnPostStartUp();
    }
}

HRESULT XToolbarController::StartUp(IDispatch* browser, IDispatch* toolbar, const std::wstring& dispatcherWindowName)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return RPC_E_WRONG_THREAD;
    }
    if (!browser || !toolbar)
    {
        return E_POINTER;
    }
    win::ComPtr<IWebBrowser2> webBrowser;
    if (FAILED(browser->QueryInterface(IID_IWebBrowser2, webBrowser.PutVoid())) || !webBrowser)
    {
        return E_POINTER;
    }
    m_shuttingDown = FALSE;
    AttachBrowser(std::move(webBrowser));
    m_hostToolbar.Attach(toolbar, HostToolbar::AutoRelease::Off);
    AttachToolbarWindow();
    CreateDispatcherWindow(dispatcherWindowName);
    if (const HWND window = ToolbarHwnd())
    {
        ::PostMessageW(window, ToolbarPostStartUpMessage(), 0, 0);
    }
    return S_OK;
}

int XToolbarController::ShutDown() noexcept
{
    (void)WIN_CHECK_THREAD(Affinity());  // reported only: a control left attached would be worse
    m_shuttingDown = TRUE;
    m_hostToolbar.Release();
    DetachBrowser();
    DestroyDispatcherWindow();
    DropToolbarWindow();
    m_shuttingDown = FALSE;
    return 0;
}

void XToolbarController::AttachBrowser(win::ComPtr<IWebBrowser2> browser) noexcept
{
    DetachBrowser();
    m_browser = std::move(browser);
    win::ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(m_browser.As(container)) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, m_browserEventsPoint.Put())) &&
        m_browserEventsPoint)
    {
        DWORD cookie = 0;
        if (SUCCEEDED(m_browserEventsPoint->Advise(&m_browserEvents, &cookie)))
        {
            m_browserEventsCookie = cookie;
        }
        else
        {
            m_browserEventsPoint.Reset();
        }
    }
}

void XToolbarController::DetachBrowser() noexcept
{
    if (m_browserEventsPoint && m_browserEventsCookie != kNotConnected)
    {
        m_browserEventsPoint->Unadvise(m_browserEventsCookie);
    }
    m_browserEventsCookie = kNotConnected;
    m_browserEventsPoint.Reset();
    m_browser.Reset();
}

void XToolbarController::AttachToolbarWindow() noexcept
{
    DropToolbarWindow();
    std::unique_ptr<XToolbarWindow> window(CreateToolbarWindow());
    if (!window)
    {
        return;
    }
    m_pToolbarWindow = std::move(window);
    const HWND handle = m_hostToolbar.GetToolbarWindow();
    if (handle && ::IsWindow(handle))
    {
        m_pToolbarWindow->SetController(this);
        if (m_pToolbarWindow->Subclass(handle))
        {
            m_toolbarHwnd = handle;
            const LONG_PTR style = ::GetWindowLongPtrW(handle, GWL_EXSTYLE);
            ::SetWindowLongPtrW(handle, GWL_EXSTYLE, style | WS_EX_TRANSPARENT);
        }
    }
}

void XToolbarController::DropToolbarWindow() noexcept
{
    m_toolbarHwnd = nullptr;
    if (m_pToolbarWindow)
    {
        m_pToolbarWindow->SetController(nullptr);
        m_pToolbarWindow->Unsubclass();
        m_pToolbarWindow.reset();
    }
}

void XToolbarController::CreateDispatcherWindow(const std::wstring& name) noexcept
{
    DestroyDispatcherWindow();
    auto window = std::make_unique<XToolbarDispatcherWindow>();
    window->SetOwner(this);
    if (window->CreateHidden(name))
    {
        m_dispatcherHwnd = window->Hwnd();
    }
    m_pDispatcherWindow = std::move(window);
}

void XToolbarController::DestroyDispatcherWindow() noexcept
{
    m_dispatcherHwnd = nullptr;
    if (m_pDispatcherWindow)
    {
        m_pDispatcherWindow->SetOwner(nullptr);
        m_pDispatcherWindow->Destroy();
        m_pDispatcherWindow.reset();
    }
}

void XToolbarController::DestroyButtonControls() noexcept
{
    // Moved out first: a window destroyed here must not find itself in a list being emptied.
    std::vector<std::unique_ptr<XToolbarButtonControl>> buttons = std::move(m_buttons);
    m_buttons.clear();
    buttons.clear();
}

HWND XToolbarController::ToolbarHwnd() const noexcept
{
    const HWND window = m_toolbarHwnd.load();
    return window && ::IsWindow(window) ? window : nullptr;
}

HWND XToolbarController::GetToolbarHwnd()
{
    return ToolbarHwnd();
}

std::wstring XToolbarController::GetHostString(const std::wstring& key, const std::wstring& defaultValue)
{
    return m_hostToolbar.IsAttached() ? m_hostToolbar.GetString(key, defaultValue) : std::wstring();
}

std::wstring XToolbarController::ExpandHostMacros(const std::wstring& text)
{
    return m_hostToolbar.IsAttached() ? m_hostToolbar.ExpandMacros(text) : std::wstring();
}

void XToolbarController::MapButton(const std::wstring& buttonName, UINT commandId)
{
    const std::lock_guard lock(m_buttonMapLock);
    m_buttonCommandIds[buttonName] = commandId;
    m_buttonNames[commandId] = buttonName;
}

void XToolbarController::ClearButtonMaps() noexcept
{
    const std::lock_guard lock(m_buttonMapLock);
    m_buttonCommandIds.clear();
    m_buttonNames.clear();
}

UINT XToolbarController::GetCommandId(const std::wstring& buttonName) const
{
    if (buttonName.empty())
    {
        return kNoCommand;
    }
    const std::lock_guard lock(m_buttonMapLock);
    const auto found = m_buttonCommandIds.find(buttonName);
    return found == m_buttonCommandIds.end() ? kNoCommand : found->second;
}

std::wstring XToolbarController::GetButtonName(int commandId) const
{
    if (commandId == -1)
    {
        return {};
    }
    const std::lock_guard lock(m_buttonMapLock);
    const auto found = m_buttonNames.find(static_cast<UINT>(commandId));
    return found == m_buttonNames.end() ? std::wstring() : found->second;
}

int XToolbarController::GetButtonIndex(const std::wstring& buttonName) const
{
    const UINT id = GetCommandId(buttonName);
    const HWND window = ToolbarHwnd();
    if (id == kNoCommand || !window)
    {
        return -1;
    }
    return static_cast<int>(::SendMessageW(window, TB_COMMANDTOINDEX, id, 0));
}

BOOL XToolbarController::SendAttribute(UINT commandId, const std::wstring& attribute)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    const HWND window = ToolbarHwnd();
    if (!window)
    {
        return FALSE;
    }
    ::SendMessageW(window, host::kMsgSetAttribute, commandId, reinterpret_cast<LPARAM>(attribute.c_str()));
    return TRUE;
}

BOOL XToolbarController::SetButtonIcon(const std::wstring& buttonName, const std::wstring& icon)
{
    const UINT id = GetCommandId(buttonName);
    return id == kNoCommand ? FALSE : SendAttribute(id, win::Format(L"icon=\"%ls\"", icon.c_str()));
}

BOOL XToolbarController::SetButtonTitle(const std::wstring& buttonName, const std::wstring& title)
{
    const UINT id = GetCommandId(buttonName);
    return id == kNoCommand ? FALSE : SendAttribute(id, win::Format(L"title=\"%ls\"", title.c_str()));
}

BOOL XToolbarController::SetButtonTooltip(const std::wstring& buttonName, const std::wstring& tooltip)
{
    const UINT id = GetCommandId(buttonName);
    return id == kNoCommand ? FALSE : SendAttribute(id, win::Format(L"tooltip=\"%ls\"", tooltip.c_str()));
}

void XToolbarController::SetButtonTexts(
    const std::wstring& buttonName, const std::wstring& icon, const std::wstring& title, const std::wstring& tooltip)
{
    SetButtonIcon(buttonName, icon);
    SetButtonTitle(buttonName, title);
    SetButtonTooltip(buttonName, tooltip);
}

BOOL XToolbarController::SetButtonVisibility(const std::wstring& buttonName, BOOL visible)
{
    const UINT id = GetCommandId(buttonName);
    return id == kNoCommand ? FALSE
                            : SendAttribute(id, win::Format(L"visibility=\"%ls\"", visible ? L"true" : L"false"));
}

BOOL XToolbarController::FireToolbarEvent(const std::wstring& eventName, int value)
{
    if (!IsSafeEventName(eventName))
    {
        return FALSE;
    }
    return SendAttribute(0, win::Format(L"toolbar.FireEvent(\"%ls\", %d)", eventName.c_str(), value));
}

BOOL XToolbarController::IsButtonShown(const std::wstring& buttonName) const
{
    const UINT id = GetCommandId(buttonName);
    const HWND window = ToolbarHwnd();
    if (id == kNoCommand || !window)
    {
        return FALSE;
    }
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_STATE;
    if (::SendMessageW(window, TB_GETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info)) == -1)
    {
        return FALSE;
    }
    return (info.fsState & TBSTATE_HIDDEN) == 0;
}

BOOL XToolbarController::EnableButton(const std::wstring& buttonName, BOOL enable)
{
    const UINT id = GetCommandId(buttonName);
    const HWND window = ToolbarHwnd();
    if (id == kNoCommand || !window)
    {
        return FALSE;
    }
    return ::SendMessageW(window, TB_ENABLEBUTTON, id, MAKELPARAM(enable ? TRUE : FALSE, 0)) != 0;
}

BOOL XToolbarController::HideButton(const std::wstring& buttonName, BOOL hide)
{
    return HideButton(GetCommandId(buttonName), hide);
}

BOOL XToolbarController::HideButton(UINT commandId, BOOL hide)
{
    const HWND window = ToolbarHwnd();
    if (commandId == kNoCommand || !window)
    {
        return FALSE;
    }
    return ::SendMessageW(window, TB_HIDEBUTTON, commandId, MAKELPARAM(hide ? TRUE : FALSE, 0)) != 0;
}

int XToolbarController::GetButtonCount() const
{
    const HWND window = ToolbarHwnd();
    return window ? static_cast<int>(::SendMessageW(window, TB_BUTTONCOUNT, 0, 0)) : 0;
}

UINT XToolbarController::GetCommandIdAt(int index) const
{
    const HWND window = ToolbarHwnd();
    if (!window || index < 0 || index >= GetButtonCount())
    {
        return kNoCommand;
    }
    TBBUTTON button{};
    if (!::SendMessageW(window, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button)))
    {
        return kNoCommand;
    }
    return static_cast<UINT>(button.idCommand);
}

BOOL XToolbarController::IsButtonHidden(UINT commandId) const
{
    const HWND window = ToolbarHwnd();
    if (commandId == kNoCommand || !window)
    {
        return FALSE;
    }
    return ::SendMessageW(window, TB_ISBUTTONHIDDEN, commandId, 0) != 0;
}

BOOL XToolbarController::SetButtonWidth(const std::wstring& buttonName, int width)
{
    return SetButtonWidth(GetCommandId(buttonName), width);
}

BOOL XToolbarController::SetButtonWidth(UINT commandId, int width)
{
    const HWND window = ToolbarHwnd();
    if (commandId == kNoCommand || !window || width < 0)
    {
        return FALSE;
    }
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    info.cx = static_cast<WORD>(std::min(width, 0xFFFF));
    return ::SendMessageW(window, TB_SETBUTTONINFOW, commandId, reinterpret_cast<LPARAM>(&info)) != 0;
}

int XToolbarController::GetButtonWidth(const std::wstring& buttonName) const
{
    return GetButtonWidth(GetCommandId(buttonName));
}

int XToolbarController::GetButtonWidth(UINT commandId) const
{
    const HWND window = ToolbarHwnd();
    if (commandId == kNoCommand || !window)
    {
        return 0;
    }
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    if (::SendMessageW(window, TB_GETBUTTONINFOW, commandId, reinterpret_cast<LPARAM>(&info)) == -1)
    {
        return 0;
    }
    return info.cx;
}

RECT XToolbarController::GetButtonScreenRect(const std::wstring& buttonName)
{
    const HWND window = ToolbarHwnd();
    const int index = GetButtonIndex(buttonName);
    RECT rect{};
    if (!window || index < 0 ||
        !::SendMessageW(window, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)))
    {
        return RECT{};
    }
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

BOOL XToolbarController::IsToolbarShown() const
{
    const HWND window = ToolbarHwnd();
    return window && ::IsWindowVisible(window);
}

HWND XToolbarController::GetBrowserWindow() const
{
    SHANDLE_PTR handle = 0;
    if (m_browser && SUCCEEDED(m_browser->get_HWND(&handle)))
    {
        const HWND window = reinterpret_cast<HWND>(handle);
        if (::IsWindow(window))
        {
            return window;
        }
    }
    return ::GetForegroundWindow();
}

RECT XToolbarController::GetBrowserWindowRect() const
{
    SHANDLE_PTR handle = 0;
    RECT rect{};
    if (!m_browser || FAILED(m_browser->get_HWND(&handle)) || !::GetWindowRect(reinterpret_cast<HWND>(handle), &rect))
    {
        return RECT{};
    }
    return rect;
}

BOOL XToolbarController::Navigate(const std::wstring& url, BOOL newWindow)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    if (url.empty() || !m_browser)
    {
        ::MessageBeep(MB_ICONEXCLAMATION);
        return FALSE;
    }
    win::Variant flags;
    if (newWindow)
    {
        flags.Put()->vt = VT_I4;
        flags.Get()->lVal = m_browserMajorVersion == 6 ? navOpenInNewWindow : navOpenInNewTab;
    }
    win::Variant empty1;
    win::Variant empty2;
    win::Variant empty3;
    win::Bstr address(url);
    if (!address.IsValid())
    {
        return FALSE;
    }
    return SUCCEEDED(
        WIN_LOG_IF_FAILED(m_browser->Navigate(address.Get(), flags.Get(), empty1.Get(), empty2.Get(), empty3.Get())));
}

HRESULT XToolbarController::NavigateToKey(const std::wstring& key)
{
    if (!m_browser)
    {
        return E_POINTER;
    }
    return Navigate(GetHostString(key, L""), /*newWindow=*/FALSE) ? S_OK : E_FAIL;
}

XToolbarButtonControl* XToolbarController::FindButtonControl(const std::wstring& buttonName) const noexcept
{
    for (const auto& button : m_buttons)
    {
        if (button->Name() == buttonName)
        {
            return button.get();
        }
    }
    return nullptr;
}

BOOL XToolbarController::CreateButtonControl(const std::wstring& buttonName, UINT controlId)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    const HWND toolbar = ToolbarHwnd();
    if (!toolbar || GetButtonIndex(buttonName) < 0)
    {
        return FALSE;
    }
    if (XToolbarButtonControl* existing = FindButtonControl(buttonName))
    {
        // A second start-up over the same toolbar keeps its overlay; one left over a window that is gone
        // (or another toolbar) is replaced.
        if (existing->IsWindow() && ::GetParent(existing->Hwnd()) == toolbar)
        {
            return TRUE;
        }
        RemoveButtonControl(buttonName);
    }
    auto button = std::make_unique<XToolbarButtonControl>(*this, buttonName);
    if (!button->CreateOver(toolbar, controlId))
    {
        return FALSE;
    }
    XToolbarButtonControl* created = button.get();
    m_buttons.push_back(std::move(button));
    EnableButton(buttonName, /*enable=*/FALSE);
    created->Place(XToolbarButtonControl::Repaint::Always);
    ::ShowWindow(created->Hwnd(), SW_SHOWNA);
    return TRUE;
}

BOOL XToolbarController::UpdateButton(const std::wstring& buttonName, UINT iconId, int cx, int cy,
    const std::wstring& title, const std::wstring& tooltip, BOOL visible, BOOL enabled, BOOL withTexts)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    XToolbarButtonControl* button = FindButtonControl(buttonName);
    if (!button || !button->IsWindow())
    {
        return FALSE;
    }
    button->SetVisibility(visible);
    bool refit = button->SetIcon(iconId, cx, cy) != FALSE;
    refit |= button->SetTitle(withTexts ? title : std::wstring()) != FALSE;
    button->SetTooltip(withTexts ? tooltip : std::wstring());
    button->SetEnabled(enabled);
    if (refit)
    {
        button->Fit();
    }
    return TRUE;
}

BOOL XToolbarController::UpdateAnimatedButton(const std::wstring& buttonName, const std::vector<UINT>& iconIds, int cx,
    int cy, UINT interval, const std::wstring& title, const std::wstring& tooltip, BOOL visible, BOOL enabled,
    BOOL withTexts)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    XToolbarButtonControl* button = FindButtonControl(buttonName);
    if (!button || !button->IsWindow())
    {
        return FALSE;
    }
    button->SetVisibility(visible);
    button->SetIconSequence(iconIds, cx, cy, interval);
    button->SetTitle(withTexts ? title : std::wstring());
    button->SetTooltip(withTexts ? tooltip : std::wstring());
    button->SetEnabled(enabled);
    button->Fit();
    button->StartSequence();
    return TRUE;
}

BOOL XToolbarController::RemoveButtonControl(const std::wstring& buttonName)
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return FALSE;
    }
    const auto found = std::find_if(
        m_buttons.begin(), m_buttons.end(), [&buttonName](const auto& button) { return button->Name() == buttonName; });
    if (found == m_buttons.end())
    {
        return FALSE;
    }
    std::unique_ptr<XToolbarButtonControl> removed = std::move(*found);
    m_buttons.erase(found);
    removed.reset();
    return TRUE;
}

void XToolbarController::PlaceButtonControls()
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return;
    }
    // Fitting an item resizes the toolbar, whose messages come back here. A nested call only asks the running
    // one for another round (an item fitted late moves items placed earlier), and the rounds are bounded, so a
    // toolbar that will not take a width cannot keep the placement going.
    if (m_placing)
    {
        m_placeAgain = true;
        return;
    }
    m_placing = true;
    const win::ScopeExit done([this] { m_placing = false; });
    for (int round = 0; round < kPlacementRounds; ++round)
    {
        m_placeAgain = false;
        PlaceButtonControlsOnce();
        if (!m_placeAgain)
        {
            break;
        }
    }
}

void XToolbarController::PlaceButtonControlsOnce()
{
    // A copy of the list: fitting sends toolbar messages that may remove an overlay.
    std::vector<XToolbarButtonControl*> buttons;
    for (const auto& button : m_buttons)
    {
        buttons.push_back(button.get());
    }
    for (XToolbarButtonControl* button : buttons)
    {
        if (!FindButtonControl(button->Name()) || !button->IsWindow())
        {
            continue;
        }
        button->Place(XToolbarButtonControl::Repaint::IfMoved);
        // An item the toolbar hides reads as 0 wide and is never fitted; once shown it is fitted when its width
        // is 0 or a fit was held back while it was hidden.
        if (button->IsVisibleFlag() && !IsButtonHidden(GetCommandId(button->Name())) &&
            (button->IsFitPending() || GetButtonWidth(button->Name()) == 0))
        {
            button->Fit();
        }
    }
}

void XToolbarController::LayoutToolbar()
{
    if (!WIN_CHECK_THREAD(Affinity()))
    {
        return;
    }
    std::wstring anchor = m_layoutAnchorButton;
    if (anchor.empty())
    {
        return;
    }
    const auto found = std::find_if(
        m_buttons.begin(), m_buttons.end(), [&anchor](const auto& button) { return button->Name() == anchor; });
    if (found == m_buttons.end())
    {
        return;
    }
    if (!(*found)->IsVisibleFlag())
    {
        // The lowest-index visible overlay before the anchor takes its place.
        for (auto it = found; it != m_buttons.begin();)
        {
            --it;
            if ((*it)->IsVisibleFlag())
            {
                anchor = (*it)->Name();
            }
        }
    }
    HideButton(host::kHiddenCommandId, /*hide=*/TRUE);

    const HWND window = ToolbarHwnd();
    RECT client{};
    if (!window || !::GetClientRect(window, &client) || client.right - client.left <= 0)
    {
        return;
    }
    const int count = GetButtonCount();
    if (count == 0)
    {
        return;
    }
    const UINT anchorId = GetCommandId(anchor);
    int sum = 0;
    for (int index = 0; index < count; ++index)
    {
        const UINT id = GetCommandIdAt(index);
        if (id == kNoCommand)
        {
            continue;
        }
        if (!IsButtonHidden(id))
        {
            sum += GetButtonWidth(id);
        }
        if (id == anchorId)
        {
            break;
        }
    }
    const int used = sum + 1;
    int available = client.right - GetButtonWidth(std::wstring(kOptionsButton));
    if (used >= available)
    {
        available = used + 1;
    }
    SetButtonWidth(host::kSpacerCommandId, available - used);
    // Items after the spacer moved; overlays over them follow.
    PlaceButtonControls();
}

BOOL XToolbarController::PostControllerMessage(LPARAM value) noexcept
{
    // Between a start-up's windows (or after the last) there is no window: the refusal says so, as a post to a
    // destroyed window would.
    const HWND window = m_dispatcherHwnd.load();
    if (!window || !::IsWindow(window))
    {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return ::PostMessageW(window, ToolbarProcessControllerMessage(), 0, value);
}

// --- IObjectSafety ------------------------------------------------------------------------------------------

HRESULT XToolbarController::XObjectSafety::QueryInterface(REFIID iid, void** out) noexcept
{
    return m_owner.InternalQueryInterface(iid, out);
}

ULONG XToolbarController::XObjectSafety::AddRef() noexcept
{
    return m_owner.InternalAddRef();
}

ULONG XToolbarController::XObjectSafety::Release() noexcept
{
    return m_owner.InternalRelease();
}

HRESULT XToolbarController::XObjectSafety::GetInterfaceSafetyOptions(
    REFIID iid, DWORD* supported, DWORD* enabled) noexcept
{
    if (!supported || !enabled)
    {
        return E_POINTER;
    }
    win::ComPtr<IUnknown> part;
    const HRESULT hr = m_owner.InternalQueryInterface(iid, part.PutVoid());
    *supported = kSafeForScripting;
    *enabled = kSafeForScripting;
    return hr;
}

HRESULT XToolbarController::XObjectSafety::SetInterfaceSafetyOptions(
    REFIID iid, DWORD optionsToSet, DWORD enabledOptions) noexcept
{
    win::ComPtr<IUnknown> part;
    if (FAILED(m_owner.InternalQueryInterface(iid, part.PutVoid())))
    {
        return E_NOINTERFACE;
    }
    if (optionsToSet & ~kSafeForScripting)
    {
        return E_FAIL;
    }
    return (optionsToSet & (enabledOptions & kSafeForScripting)) == optionsToSet ? S_OK : E_FAIL;
}

// --- IToolbarSecurity ---------------------------------------------------------------------------------------

HRESULT XToolbarController::XToolbarSecurity::QueryInterface(REFIID iid, void** out) noexcept
{
    return m_owner.InternalQueryInterface(iid, out);
}

ULONG XToolbarController::XToolbarSecurity::AddRef() noexcept
{
    return m_owner.InternalAddRef();
}

ULONG XToolbarController::XToolbarSecurity::Release() noexcept
{
    return m_owner.InternalRelease();
}

HRESULT XToolbarController::XToolbarSecurity::EnableToolbarScripting() noexcept
{
    m_owner.m_scriptingAllowed = TRUE;
    return S_OK;
}

// --- DWebBrowserEvents2 sink --------------------------------------------------------------------------------

HRESULT XToolbarController::XBrowserEvents::QueryInterface(REFIID iid, void** out) noexcept
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
    {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

}  // namespace toolbar
