#include "HostToolbar.h"

#include <algorithm>

#include "toolbar/HostToolbarInterface.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include "Output.h"

#include <commctrl.h>

namespace kelhost
{
namespace
{
constexpr UINT_PTR kSubclassId = 0x4B48;  // "KH"
// Longest attribute text the host reads.
constexpr size_t kMaxAttributeChars = 32768;

// Copies a zero-terminated wide string that another component handed over by address, without reading
// memory that is not there: each page is checked before it is read. False for null, unreadable memory or a
// text longer than `maxChars`.
bool CopyForeignText(const wchar_t* text, size_t maxChars, std::wstring& copy)
{
    copy.clear();
    if (!text || (reinterpret_cast<ULONG_PTR>(text) & 1) != 0)
    {
        return false;
    }
    const BYTE* readableEnd = nullptr;
    for (const wchar_t* p = text; static_cast<size_t>(p - text) <= maxChars; ++p)
    {
        const BYTE* byte = reinterpret_cast<const BYTE*>(p);
        if (byte + sizeof(wchar_t) > readableEnd)
        {
            MEMORY_BASIC_INFORMATION info{};
            if (::VirtualQuery(p, &info, sizeof(info)) != sizeof(info) || info.State != MEM_COMMIT ||
                (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0 ||
                (info.Protect &
                    (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                        PAGE_EXECUTE_WRITECOPY)) == 0)
            {
                return false;
            }
            readableEnd = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
        }
        if (*p == L'\0')
        {
            copy.assign(text, p);
            return true;
        }
    }
    return false;
}

bool ChangesButtons(UINT message) noexcept
{
    switch (message)
    {
    case host::kMsgSetAttribute:
    case TB_ENABLEBUTTON:
    case TB_HIDEBUTTON:
    case TB_SETSTATE:
    case TB_SETBUTTONINFOW:
    case TB_SETBUTTONSIZE:
    case TB_AUTOSIZE: return true;
    default: return false;
    }
}
}  // namespace

const std::vector<ButtonDefinition>& ToolbarLayout()
{
    static const std::vector<ButtonDefinition> layout = {
        {kSearchCommandId, L"CID_KEL_SEARCH", L"search", L"Search"},
        {kLogoCommandId, L"CID_KEL_LOGO", L"logo", L"Kel"},
        {kPaviseCommandId, L"CID_PAVISE_STATUS", L"pavise", L"Pavise"},
        {kUpdateCommandId, L"CID_NORVIX_UPDATE", L"update", L"Norvix"},
        {host::kSpacerCommandId, L"SPACER", L"spacer", L""},
        {host::kHiddenCommandId, L"MORE", L"more", L"More"},
        {kOptionsCommandId, L"CID_KEL_OPTIONS", L"options", L"Options"},
    };
    return layout;
}

const ButtonDefinition* FindButton(std::wstring_view nameOrId)
{
    for (const auto& button : ToolbarLayout())
    {
        if (win::EqualsNoCase(nameOrId, button.name) || win::EqualsNoCase(nameOrId, button.alias) ||
            nameOrId == win::Format(L"%u", button.id))
        {
            return &button;
        }
    }
    return nullptr;
}

const ButtonDefinition* FindButton(UINT id)
{
    const auto& layout = ToolbarLayout();
    const auto found = std::find_if(layout.begin(), layout.end(), [id](const auto& button) { return button.id == id; });
    return found == layout.end() ? nullptr : &*found;
}

std::wstring FormatButtonState(const ButtonState& state)
{
    return win::Format(L"button %u name=%ls icon=%ls title=%ls tooltip=%ls visible=%d enabled=%d width=%d overlay=%d",
        state.id, state.name.c_str(), Quote(state.icon).c_str(), Quote(state.title).c_str(),
        Quote(state.tooltip).c_str(), state.visible ? 1 : 0, state.enabled ? 1 : 0, state.width, state.overlay ? 1 : 0);
}

std::wstring FormatOverlayState(const OverlayState& state)
{
    return win::Format(L"overlay %u name=%ls icon=%u title=%ls tooltip=%ls visible=%d enabled=%d shown=%d", state.id,
        state.name.c_str(), state.icon, Quote(state.title).c_str(), Quote(state.tooltip).c_str(), state.visible ? 1 : 0,
        state.enabled ? 1 : 0, state.tooltipShown ? 1 : 0);
}

namespace
{
// The text an overlay's tooltip control holds for the overlay ("" when it has none) and whether it shows. The
// control belongs to the overlay's thread (the add-on runs in this process) and knows the overlay as a tool; its
// owner is the overlay's top-level window, so it is found by asking each tooltip control of the thread for that
// tool.
struct TooltipSearch
{
    HWND overlay;
    std::wstring text;
    bool shown = false;
};

// EnumThreadWindows callback (a plain function: a lambda has the wrong calling convention on 32-bit).
BOOL CALLBACK FindOverlayTooltip(HWND window, LPARAM data)
{
    auto& s = *reinterpret_cast<TooltipSearch*>(data);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (::lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
    {
        return TRUE;
    }
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = s.overlay;
    tool.uId = reinterpret_cast<UINT_PTR>(s.overlay);
    if (!::SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
    {
        return TRUE;
    }
    wchar_t text[1024] = {};
    tool.lpszText = text;
    ::SendMessageW(window, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    s.text = text;
    s.shown = ::IsWindowVisible(window) != FALSE;
    return FALSE;
}

TooltipSearch OverlayTooltip(HWND overlay)
{
    TooltipSearch search{overlay, {}};
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(overlay, nullptr), &FindOverlayTooltip, reinterpret_cast<LPARAM>(&search));
    return search;
}
}  // namespace

std::vector<OverlayState> HostToolbar::OverlayStates() const
{
    std::vector<OverlayState> states;
    if (!m_toolbar)
    {
        return states;
    }
    for (HWND child = ::GetWindow(m_toolbar, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (::lstrcmpW(name, host::kOverlayClassName) != 0)
        {
            continue;
        }
        OverlayState state;
        state.id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(::GetPropW(child, host::kOverlayCommandProperty)));
        const ButtonDefinition* definition = FindButton(state.id);
        state.name = definition ? definition->name : L"";
        state.icon = static_cast<UINT>(reinterpret_cast<UINT_PTR>(::GetPropW(child, host::kOverlayIconProperty)));
        wchar_t title[512] = {};
        ::GetWindowTextW(child, title, static_cast<int>(std::size(title)));
        state.title = title;
        const TooltipSearch tooltip = OverlayTooltip(child);
        state.tooltip = tooltip.text;
        state.tooltipShown = tooltip.shown;
        state.visible = ::IsWindowVisible(child) != FALSE;
        state.enabled = ::GetPropW(child, host::kOverlayEnabledProperty) != nullptr;
        states.push_back(std::move(state));
    }
    std::sort(states.begin(), states.end(), [](const OverlayState& a, const OverlayState& b) { return a.id < b.id; });
    return states;
}

HostToolbar::HostToolbar(Handlers handlers) : m_handlers(std::move(handlers))
{
}

HostToolbar::~HostToolbar()
{
    Destroy();
}

bool HostToolbar::Create(HWND parent)
{
    if (m_toolbar)
    {
        return false;
    }
    m_toolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_TOP |
            CCS_NODIVIDER,
        0, 0, 0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_toolbar)
    {
        return false;
    }
    ::SendMessageW(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(m_toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    std::vector<TBBUTTON> buttons;
    for (const auto& definition : ToolbarLayout())
    {
        TBBUTTON button{};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = static_cast<int>(definition.id);
        // The spacer only takes room; it is never pressed.
        button.fsState = definition.id == host::kSpacerCommandId ? 0 : TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_NOPREFIX;
        button.iString = reinterpret_cast<INT_PTR>(definition.title);
        buttons.push_back(button);
        m_recorded[definition.id] = Recorded{L"", definition.title, definition.title};
    }
    if (!::SendMessageW(m_toolbar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
    {
        Destroy();
        return false;
    }
    ::SendMessageW(m_toolbar, TB_AUTOSIZE, 0, 0);
    if (!::SetWindowSubclass(m_toolbar, &HostToolbar::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    {
        Destroy();
        return false;
    }
    m_subclassed = true;
    return true;
}

void HostToolbar::Destroy() noexcept
{
    if (!m_toolbar)
    {
        return;
    }
    if (m_subclassed && ::IsWindow(m_toolbar))
    {
        ::RemoveWindowSubclass(m_toolbar, &HostToolbar::SubclassProc, kSubclassId);
    }
    m_subclassed = false;
    if (::IsWindow(m_toolbar))
    {
        ::DestroyWindow(m_toolbar);
    }
    m_toolbar = nullptr;
}

std::optional<ButtonState> HostToolbar::State(UINT id) const
{
    const auto recorded = m_recorded.find(id);
    if (!m_toolbar || recorded == m_recorded.end())
    {
        return std::nullopt;
    }
    const ButtonDefinition* definition = FindButton(id);
    ButtonState state;
    state.id = id;
    state.name = definition ? definition->name : L"";
    state.icon = recorded->second.icon;
    state.title = recorded->second.title;
    state.tooltip = recorded->second.tooltip;
    state.visible = !::SendMessageW(m_toolbar, TB_ISBUTTONHIDDEN, id, 0);
    state.enabled = ::SendMessageW(m_toolbar, TB_ISBUTTONENABLED, id, 0) != 0;
    const LRESULT index = ::SendMessageW(m_toolbar, TB_COMMANDTOINDEX, id, 0);
    RECT rect{};
    if (index >= 0 && state.visible &&
        ::SendMessageW(m_toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)))
    {
        state.width = rect.right - rect.left;
    }
    state.overlay = OverlayOver(id) != nullptr;
    return state;
}

std::vector<ButtonState> HostToolbar::States() const
{
    std::vector<ButtonState> states;
    for (const auto& definition : ToolbarLayout())
    {
        if (auto state = State(definition.id))
        {
            states.push_back(std::move(*state));
        }
    }
    return states;
}

HWND HostToolbar::OverlayOver(UINT id) const noexcept
{
    if (!m_toolbar || ::SendMessageW(m_toolbar, TB_ISBUTTONHIDDEN, id, 0))
    {
        return nullptr;
    }
    const LRESULT index = ::SendMessageW(m_toolbar, TB_COMMANDTOINDEX, id, 0);
    RECT rect{};
    if (index < 0 || !::SendMessageW(m_toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)) ||
        rect.right <= rect.left)
    {
        return nullptr;
    }
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    const HWND child = ::ChildWindowFromPointEx(m_toolbar, centre, CWP_ALL);
    return child && child != m_toolbar ? child : nullptr;
}

const wchar_t* HostToolbar::Tooltip(UINT id) const noexcept
{
    const auto recorded = m_recorded.find(id);
    return recorded == m_recorded.end() ? L"" : recorded->second.tooltip.c_str();
}

LRESULT HostToolbar::ApplyAttribute(WPARAM commandId, LPARAM text)
{
    std::wstring copy;
    const bool readable = CopyForeignText(reinterpret_cast<const wchar_t*>(text), kMaxAttributeChars, copy);
    bool taken = false;
    if (readable && commandId == 0)
    {
        ToolbarEvent event;
        taken = ParseFireEventScript(copy, event) && m_handlers.onFireEvent && m_handlers.onFireEvent(event);
    }
    else if (readable)
    {
        const auto recorded = m_recorded.find(static_cast<UINT>(commandId));
        Attribute attribute;
        if (recorded != m_recorded.end() && ParseAttribute(copy, attribute))
        {
            taken = true;
            switch (attribute.kind)
            {
            case AttributeKind::Icon: recorded->second.icon = attribute.value; break;
            case AttributeKind::Tooltip: recorded->second.tooltip = attribute.value; break;
            case AttributeKind::Title:
            {
                recorded->second.title = attribute.value;
                TBBUTTONINFOW info{sizeof(info)};
                info.dwMask = TBIF_TEXT;
                info.pszText = recorded->second.title.data();
                ::SendMessageW(m_toolbar, TB_SETBUTTONINFOW, commandId, reinterpret_cast<LPARAM>(&info));
                break;
            }
            case AttributeKind::Visibility:
                ::SendMessageW(m_toolbar, TB_HIDEBUTTON, commandId, MAKELPARAM(attribute.visible ? FALSE : TRUE, 0));
                break;
            }
        }
    }
    if (m_handlers.onAttribute)
    {
        m_handlers.onAttribute(static_cast<UINT>(commandId), copy, taken);
    }
    return taken ? TRUE : FALSE;
}

void HostToolbar::ReportChanges(const std::vector<ButtonState>& before)
{
    if (!m_handlers.onChange)
    {
        return;
    }
    for (const auto& state : States())
    {
        bool changed = true;
        for (const auto& old : before)
        {
            if (old.id == state.id)
            {
                changed = !(old == state);
                break;
            }
        }
        if (changed)
        {
            m_handlers.onChange(state);
        }
    }
}

LRESULT CALLBACK HostToolbar::SubclassProc(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) noexcept
{
    auto* toolbar = reinterpret_cast<HostToolbar*>(self);
    if (!toolbar || toolbar->m_toolbar != window)
    {
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
    {
        ::RemoveWindowSubclass(window, &HostToolbar::SubclassProc, kSubclassId);
        toolbar->m_subclassed = false;
        toolbar->m_toolbar = nullptr;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    return toolbar->OnMessage(message, wParam, lParam);
}

LRESULT HostToolbar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try
    {
        if (message == host::kMsgLayout && wParam == 0 && lParam == 1)
        {
            if (m_handlers.onLayout)
            {
                m_handlers.onLayout();
            }
            return 1;
        }
        if (message == host::kMsgLayout || message == host::kMsgRelayout || message == host::kMsgPreferences)
        {
            return 0;  // the host's own messages end here; the toolbar control does not know them
        }
        if (!ChangesButtons(message))
        {
            return ::DefSubclassProc(m_toolbar, message, wParam, lParam);
        }
        // Only the outermost message reports: applying an attribute sends toolbar messages of its own.
        const bool outermost = m_changeDepth == 0 && m_handlers.onChange;
        std::vector<ButtonState> before;
        if (outermost)
        {
            before = States();
        }
        LRESULT result;
        {
            ++m_changeDepth;
            const win::ScopeExit leave([this] { --m_changeDepth; });
            result = message == host::kMsgSetAttribute ? ApplyAttribute(wParam, lParam)
                                                       : ::DefSubclassProc(m_toolbar, message, wParam, lParam);
        }
        if (outermost)
        {
            ReportChanges(before);
        }
        return result;
    }
    catch (...)
    {
        return 0;
    }
}

}  // namespace kelhost
