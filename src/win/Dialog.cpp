#include "win/Dialog.h"

#include "win/FailureReport.h"
#include "win/Module.h"

namespace win
{
namespace
{
// The property that binds a window to its object. Unique to this module: another module of the process built
// from the same sources (a host and an add-on) binds its own objects under its own name.
const wchar_t* BindingProperty() noexcept
{
    static const ModuleScopedName name(L"Kel.Dialog.Object");
    return name.text;
}

thread_local Dialog* t_creating = nullptr;

// Messages whose result a dialog procedure returns itself rather than through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) noexcept
{
    switch (message)
    {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON: return true;
    default: return false;
    }
}
}  // namespace

Dialog::~Dialog()
{
    Destroy();
}

bool Dialog::Create(UINT templateId, HWND parent, HINSTANCE instance) noexcept
{
    if (m_hwnd)
    {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    m_affinity.Rebind();
    Dialog* const outer = t_creating;
    t_creating = this;
    const HWND window = ::CreateDialogParamW(instance ? instance : ThisModule(), MAKEINTRESOURCEW(templateId), parent,
        &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
    t_creating = outer;
    if (!window)
    {
        // A dialog that failed during WM_INITDIALOG may have unbound already; make sure nothing points here.
        m_hwnd = nullptr;
        return false;
    }
    return m_hwnd == window;
}

void Dialog::Destroy() noexcept
{
    if (m_hwnd)
    {
        (void)WIN_CHECK_THREAD(m_affinity);
        ::DestroyWindow(m_hwnd);  // WM_NCDESTROY unbinds
        if (m_hwnd)
        {
            // Destroying from another thread fails; at least cut the link to this object.
            Unbind();
        }
    }
}

Dialog* Dialog::FromHandle(HWND window) noexcept
{
    return window ? static_cast<Dialog*>(::GetPropW(window, BindingProperty())) : nullptr;
}

bool Dialog::DialogProc(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG: result = OnInitDialog(); return true;
    case WM_DESTROY: OnDestroy(); return false;
    default: return false;
    }
}

bool Dialog::BindControl(int controlId, Window& control) noexcept
{
    const HWND item = Item(controlId);
    return item && control.Subclass(item);
}

void Dialog::Unbind() noexcept
{
    if (::IsWindow(m_hwnd))
    {
        ::RemovePropW(m_hwnd, BindingProperty());
    }
    m_hwnd = nullptr;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Dialog* self = FromHandle(window);
    if (!self && t_creating && !t_creating->m_hwnd)
    {
        self = t_creating;
        self->m_hwnd = window;
        ::SetPropW(window, BindingProperty(), self);
    }
    if (!self)
    {
        return FALSE;
    }
    LRESULT result = 0;
    bool handled = false;
    try
    {
        handled = self->DialogProc(message, wParam, lParam, result);
    }
    catch (...)
    {
        // A handler that failed (out of memory) leaves the message to the dialog manager.
        (void)WIN_REPORT_CAUGHT("DialogProc");
        handled = false;
    }
    if (message == WM_NCDESTROY && self->m_hwnd == window)
    {
        self->Unbind();
    }
    if (!handled)
    {
        return FALSE;
    }
    if (ReturnsResultDirectly(message))
    {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace win
