#include "support/TestToolbarWindow.h"

#include <commctrl.h>

#include <string>

namespace testing_support
{
namespace
{
constexpr UINT kSetAttribute = 3036;
constexpr UINT kLayout = 3034;
constexpr UINT kRelayout = 3055;
constexpr UINT_PTR kRecorderId = 0x7E57;
constexpr wchar_t kFrameClass[] = L"TestToolbarFrame";
}  // namespace

TestToolbarWindow::TestToolbarWindow(const std::vector<Button>& buttons, int width, int height)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW frameClass{sizeof(frameClass)};
    frameClass.lpfnWndProc = ::DefWindowProcW;
    frameClass.hInstance = ::GetModuleHandleW(nullptr);
    frameClass.lpszClassName = kFrameClass;
    frameClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    ::RegisterClassExW(&frameClass);
    m_frame = ::CreateWindowExW(0, kFrameClass, L"Test host", WS_POPUP | WS_VISIBLE, 10, 10, width + 20, height + 20,
        nullptr, nullptr, frameClass.hInstance, nullptr);
    m_toolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN, 0, 0, width, height,
        m_frame, nullptr, frameClass.hInstance, nullptr);
    ::SendMessageW(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(m_toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    std::vector<TBBUTTON> items;
    for (const Button& button : buttons)
    {
        TBBUTTON item{};
        item.iBitmap = I_IMAGENONE;
        item.idCommand = static_cast<int>(button.id);
        item.fsState = TBSTATE_ENABLED;
        item.fsStyle = BTNS_BUTTON;
        item.iString = -1;
        items.push_back(item);
    }
    ::SendMessageW(m_toolbar, TB_ADDBUTTONSW, items.size(), reinterpret_cast<LPARAM>(items.data()));
    for (const Button& button : buttons)
    {
        TBBUTTONINFOW info{sizeof(info)};
        info.dwMask = TBIF_SIZE;
        info.cx = static_cast<WORD>(button.width);
        ::SendMessageW(m_toolbar, TB_SETBUTTONINFOW, button.id, reinterpret_cast<LPARAM>(&info));
    }
    ::SetWindowSubclass(m_toolbar, &TestToolbarWindow::Record, kRecorderId, reinterpret_cast<DWORD_PTR>(this));
}

TestToolbarWindow::~TestToolbarWindow()
{
    DestroyToolbar();
    if (m_frame)
    {
        ::DestroyWindow(m_frame);
    }
}

void TestToolbarWindow::DestroyToolbar() noexcept
{
    if (m_toolbar && ::IsWindow(m_toolbar))
    {
        ::DestroyWindow(m_toolbar);
    }
    m_toolbar = nullptr;
}

int TestToolbarWindow::ButtonWidth(UINT id) const
{
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    if (::SendMessageW(m_toolbar, TB_GETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info)) == -1)
    {
        return -1;
    }
    return info.cx;
}

bool TestToolbarWindow::IsHidden(UINT id) const
{
    return ::SendMessageW(m_toolbar, TB_ISBUTTONHIDDEN, id, 0) != 0;
}

LRESULT CALLBACK TestToolbarWindow::Record(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) noexcept
{
    auto* const owner = reinterpret_cast<TestToolbarWindow*>(self);
    bool logged = true;
    Message entry{message, wParam, lParam, {}};
    switch (message)
    {
    case kSetAttribute:
        entry.text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"<null>";
        entry.lParam = 0;
        break;
    case TB_SETBUTTONINFOW:
    {
        const auto* info = reinterpret_cast<const TBBUTTONINFOW*>(lParam);
        if (!info || !(info->dwMask & TBIF_SIZE))
        {
            logged = false;
            break;
        }
        entry.text = std::to_wstring(info->cx);
        entry.lParam = 0;
        break;
    }
    case kLayout:
    case kRelayout:
    case TB_HIDEBUTTON:
    case TB_ENABLEBUTTON: break;
    default: logged = message >= 0xC000 && message <= 0xFFFF; break;
    }
    if (logged)
    {
        try
        {
            owner->m_messages.push_back(entry);
            if (owner->m_observer)
            {
                owner->m_observer(entry);
            }
        }
        catch (...)
        {
        }
    }
    if (message == kSetAttribute)
    {
        return 1;
    }
    if (message == WM_NCDESTROY)
    {
        ::RemoveWindowSubclass(window, &TestToolbarWindow::Record, kRecorderId);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace testing_support
