#include "win/Window.h"

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
    static const ModuleScopedName name(L"Kel.Window.Object");
    return name.text;
}

// The procedure that our procedure forwards to once its object is gone while another procedure, installed
// after ours, still calls it (see Unbind).
const wchar_t* ForwardProperty() noexcept
{
    static const ModuleScopedName name(L"Kel.Window.Forward");
    return name.text;
}

WNDPROC ForwardTarget(HWND window) noexcept
{
    return reinterpret_cast<WNDPROC>(::GetPropW(window, ForwardProperty()));
}

// Our procedure may stay in a window's chain after the object is gone; the module must then stay loaded as
// long as the window can call it. Nothing tells when the last caller is done, so it stays for the process.
void KeepModuleLoaded() noexcept
{
    HMODULE pinned = nullptr;
    (void)::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
        reinterpret_cast<LPCWSTR>(&ForwardTarget), &pinned);
}

// The object whose Create is running on this thread, picked up by the first message of the new window.
thread_local Window* t_creating = nullptr;
}  // namespace

Window::~Window()
{
    if (m_hwnd)
    {
        if (m_created)
        {
            Destroy();
        }
        else
        {
            Unsubclass();
        }
    }
}

bool Window::RegisterClassOnce(const WNDCLASSEXW& windowClass) noexcept
{
    WNDCLASSEXW existing{sizeof(existing)};
    if (::GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing))
    {
        return true;
    }
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool Window::Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect,
    HWND parent, UINT_PTR idOrMenu, HINSTANCE instance) noexcept
{
    if (m_hwnd)
    {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    Window* const outer = t_creating;
    t_creating = this;
    const HWND window = ::CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu), instance ? instance : ThisModule(), nullptr);
    t_creating = outer;
    if (!window)
    {
        return false;
    }
    if (m_hwnd != window)
    {
        // The class has a procedure of its own: bind now, in front of it.
        if (!Subclass(window))
        {
            ::DestroyWindow(window);
            return false;
        }
    }
    m_created = true;
    return true;
}

bool Window::Subclass(HWND window) noexcept
{
    if (m_hwnd || !::IsWindow(window) || FromHandle(window))
    {
        return false;
    }
    if (!::SetPropW(window, BindingProperty(), this))
    {
        return false;
    }
    m_hwnd = window;
    m_affinity.Rebind();
    if (const WNDPROC forward = ForwardTarget(window))
    {
        // Our procedure is still in the chain from an earlier subclass: the object takes that place again.
        ::RemovePropW(window, ForwardProperty());
        m_previousProc = forward;
        return true;
    }
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticProc)));
    if (!m_previousProc)
    {
        ::RemovePropW(window, BindingProperty());
        m_hwnd = nullptr;
        return false;
    }
    return true;
}

bool Window::Unsubclass() noexcept
{
    if (!m_hwnd || !m_previousProc)
    {
        return false;
    }
    (void)WIN_CHECK_THREAD(m_affinity);
    Unbind();
    return true;
}

void Window::Destroy() noexcept
{
    if (!m_hwnd)
    {
        return;
    }
    (void)WIN_CHECK_THREAD(m_affinity);
    if (m_created)
    {
        ::DestroyWindow(m_hwnd);  // WM_NCDESTROY unbinds
        if (m_hwnd)
        {
            // DestroyWindow from another thread fails; at least cut the link to this object.
            Unbind();
        }
    }
    else
    {
        Unsubclass();
    }
}

Window* Window::FromHandle(HWND window) noexcept
{
    return window ? static_cast<Window*>(::GetPropW(window, BindingProperty())) : nullptr;
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (m_previousProc)
    {
        return ::CallWindowProcW(m_previousProc, m_hwnd, message, wParam, lParam);
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void Window::Bind(HWND window) noexcept
{
    m_hwnd = window;
    m_affinity.Rebind();
    ::SetPropW(window, BindingProperty(), this);
}

void Window::Unbind(WindowState state) noexcept
{
    const HWND window = m_hwnd;
    if (m_previousProc && ::IsWindow(window))
    {
        // Putting our predecessor back is only right while ours is the installed procedure. When another
        // component subclassed the window after us, its procedure calls ours: ours stays and forwards, so the
        // chain stays whole and that component's own unsubclass later finds what it expects.
        if (::GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Window::StaticProc))
        {
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        }
        else if (state == WindowState::Alive &&
            ::SetPropW(window, ForwardProperty(), reinterpret_cast<HANDLE>(m_previousProc)))
        {
            KeepModuleLoaded();
        }
    }
    if (::IsWindow(window))
    {
        ::RemovePropW(window, BindingProperty());
    }
    m_previousProc = nullptr;
    m_hwnd = nullptr;
    m_created = false;
}

LRESULT CALLBACK Window::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Window* self = FromHandle(window);
    if (!self)
    {
        if (const WNDPROC forward = ForwardTarget(window))
        {
            if (message == WM_NCDESTROY)
            {
                ::RemovePropW(window, ForwardProperty());
            }
            return ::CallWindowProcW(forward, window, message, wParam, lParam);
        }
        if (t_creating && !t_creating->m_hwnd)
        {
            self = t_creating;
            self->Bind(window);
        }
    }
    if (!self)
    {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
    {
        const LRESULT result = self->Dispatch(message, wParam, lParam);
        if (self->m_hwnd == window)
        {
            self->Unbind(WindowState::Ending);  // the last message: nothing can come through our procedure any more
        }
        self->OnFinalMessage();
        return result;
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try
    {
        return WindowProc(message, wParam, lParam);
    }
    catch (...)
    {
        // A handler that failed (out of memory) leaves the message to the procedure behind ours.
        (void)WIN_REPORT_CAUGHT("WindowProc");
        return Default(message, wParam, lParam);
    }
}

}  // namespace win
