#pragma once
// Window: a C++ object bound to one window handle, either a window it created or a foreign window it
// subclassed. Messages reach the virtual WindowProc on the window's thread; Default passes a message on to
// the subclassed window's previous procedure, or to DefWindowProcW for a window of our own.
//
// The object and the handle are linked through a window property, so the binding survives other code
// storing its own data in the window. The binding ends at WM_NCDESTROY (after WindowProc has seen it) or at
// Unsubclass. The owner keeps the object; destroying the object destroys a window it created and removes a
// subclass it installed. Only the window's own thread may use the object: Unsubclass and Destroy (the destructor's
// too) from another thread are broken rules (ThreadAffinity).

#include "win/ThreadAffinity.h"

#include <string_view>

namespace win
{

class Window
{
public:
    Window() noexcept = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    // Registers a window class unless one of that name is already registered for the instance; true when
    // the class exists afterwards. A class whose procedure is not WindowProcedure() still works with Create:
    // the created window is subclassed at once.
    [[nodiscard]] static bool RegisterClassOnce(const WNDCLASSEXW& windowClass) noexcept;

    // The procedure to give classes of our own, so even WM_NCCREATE and WM_CREATE reach WindowProc.
    [[nodiscard]] static WNDPROC WindowProcedure() noexcept { return &Window::StaticProc; }

    // Creates the window and binds it to this object. False when it fails or this object is already bound.
    [[nodiscard]] bool Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
        const RECT& rect, HWND parent, UINT_PTR idOrMenu, HINSTANCE instance = nullptr) noexcept;

    // Subclasses a window that another component created: our procedure goes in front of its procedure,
    // which is kept and called by Default. False when the window is not one or is already bound to an object.
    [[nodiscard]] bool Subclass(HWND window) noexcept;
    // Unbinds; the window goes on living. The previous procedure is put back while ours is the installed one;
    // when another procedure was installed after ours, ours stays in the chain and forwards every message to
    // the previous procedure (the module then stays loaded), so nobody's subclass is cut out.
    bool Unsubclass() noexcept;

    // Destroys a window this object created (a subclassed window is only unsubclassed).
    void Destroy() noexcept;

    [[nodiscard]] HWND Hwnd() const noexcept { return m_hwnd; }
    [[nodiscard]] bool IsWindow() const noexcept { return m_hwnd && ::IsWindow(m_hwnd); }
    [[nodiscard]] bool IsSubclassed() const noexcept { return m_previousProc != nullptr; }

    // The object bound to a window by this class, or null.
    [[nodiscard]] static Window* FromHandle(HWND window) noexcept;

protected:
    // Handles one message; the default passes it to Default. Runs on the window's thread. An exception ends
    // here: the message then goes to Default, as if this procedure had not looked at it.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // After WM_NCDESTROY has been handled and the binding removed.
    virtual void OnFinalMessage() noexcept {}

private:
    static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Bind(HWND window) noexcept;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    enum class WindowState
    {
        Alive,
        Ending,  // at WM_NCDESTROY: nothing comes through the window's procedures any more
    };
    void Unbind(WindowState state = WindowState::Alive) noexcept;

    HWND m_hwnd = nullptr;
    WNDPROC m_previousProc = nullptr;
    bool m_created = false;
    ThreadAffinity m_affinity;  // the thread that bound the window
};

}  // namespace win
