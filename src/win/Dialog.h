#pragma once
// Dialog: a modeless dialog made from a template resource and bound to a C++ object. The dialog manager's
// messages reach the virtual DialogProc on the dialog's thread; the object is linked to the window through a
// window property from the first message on (WM_SETFONT comes before WM_INITDIALOG), and the link ends at
// WM_NCDESTROY. Controls of the template are bound to objects of ours by subclassing them (BindControl).
//
// The owner keeps the object; destroying the object destroys its window. Only the dialog's thread may use
// it: Destroy from another thread is a broken rule (ThreadAffinity). Keyboard navigation needs IsDialogMessageW in the
// thread's loop, which is the host's.

#include "win/Window.h"

namespace win
{

class Dialog
{
public:
    Dialog() noexcept = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Creates the dialog from template `templateId` of `instance` (this module when null) with `parent` as
    // its parent or owner. False when it fails or this object already has a window.
    [[nodiscard]] bool Create(UINT templateId, HWND parent, HINSTANCE instance = nullptr) noexcept;
    // Destroys the window, if any (on the dialog's thread only).
    void Destroy() noexcept;

    [[nodiscard]] HWND Hwnd() const noexcept { return m_hwnd; }
    [[nodiscard]] bool IsWindow() const noexcept { return m_hwnd && ::IsWindow(m_hwnd); }
    [[nodiscard]] HWND Item(int controlId) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, controlId) : nullptr; }

    // The object bound to a dialog by this class, or null.
    [[nodiscard]] static Dialog* FromHandle(HWND window) noexcept;

protected:
    // Handles one message. Return true when handled and put the message's result in `result`; false lets
    // the dialog manager do its default. For the messages whose result a dialog procedure returns directly
    // (WM_INITDIALOG, WM_CTLCOLOR*, ...) the result is returned as it is; for all others it is stored as
    // DWLP_MSGRESULT. An exception ends here: the message then goes to the dialog manager's default.
    virtual bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // WM_INITDIALOG; the result says whether the dialog manager should set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_DESTROY, while the window and its controls still exist.
    virtual void OnDestroy() {}

    // Subclasses the template's control `controlId` with `control`. False when there is no such control or
    // it is already bound.
    [[nodiscard]] bool BindControl(int controlId, Window& control) noexcept;

private:
    static INT_PTR CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Unbind() noexcept;

    HWND m_hwnd = nullptr;
    ThreadAffinity m_affinity;  // the thread that created the dialog
};

}  // namespace win
