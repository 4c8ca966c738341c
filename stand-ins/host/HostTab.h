#pragma once
// HostTab: one browser tab of the host. It owns the tab's top-level window (class KelHostFrame), the toolbar,
// the browser object, the host's dispatch object and the add-on control. The control is created, unlocked
// and started the way the Kel host does it, receives toolbar events through OnEvent, and is released when
// the tab closes, before the toolbar window goes, so the add-on's windows on the toolbar are gone first.
// Owned by HostApp; UI thread only.

#include "HostBrowser.h"
#include "HostDispatch.h"
#include "HostToolbar.h"

#include "win/ComPtr.h"

#include <oaidl.h>

#include <optional>
#include <string>

namespace kelhost
{

class HostApp;

class HostTab
{
public:
    HostTab(HostApp& app, int number);
    HostTab(const HostTab&) = delete;
    HostTab& operator=(const HostTab&) = delete;
    ~HostTab();

    // Creates the window, the toolbar, the browser and the dispatch object. False when a window fails.
    [[nodiscard]] bool Open();
    // Creates the control by CLSID, unlocks it and calls StartupToolbar; every step is reported.
    void StartControl(const CLSID& clsid);
    void DeliverEvent(const ToolbarEvent& event);
    // Releases the control, then closes the windows.
    void Close();
    // What the host does from inside one of the control's own calls to it, as a browser may: the next time the
    // control looks up the setting `name` (or fires the toolbar event `name`), the host releases the control and
    // closes the tab (its windows a moment later, from the host's loop), or starts the control again, before the
    // call returns. Once; a new trap replaces one not sprung yet.
    enum class TrapAction
    {
        Close,
        Restart
    };
    // What the trap's name is.
    enum class TrapKind
    {
        Setting,
        Event,
    };
    void SetTrap(TrapAction action, TrapKind kind, std::wstring name);

    // Clicks a button as a user would; false with a reason when the button cannot be clicked.
    [[nodiscard]] bool Click(const ButtonDefinition& button, std::wstring& how);
    // Puts the mouse pointer on the middle of a button (of the add-on's overlay over it, if any), so its
    // tooltip shows as it would for a user; `where` tells the point and the button's rectangle on the
    // screen. False with a reason when the button is hidden.
    [[nodiscard]] bool Hover(const ButtonDefinition& button, std::wstring& where);
    LRESULT Relayout();
    LRESULT SendPreferencesChanged();
    void PrintState(const wchar_t* prefix) const;

    [[nodiscard]] int Number() const noexcept { return m_number; }
    [[nodiscard]] HWND Frame() const noexcept { return m_frame; }
    [[nodiscard]] HostToolbar& Toolbar() noexcept { return m_toolbar; }
    [[nodiscard]] bool HasControl() const noexcept { return static_cast<bool>(m_control); }

private:
    static bool RegisterFrameClass();
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Report(const std::wstring& text) const;
    // StartupToolbar with this tab's browser, host object and buttons; reported.
    void CallStartup(IDispatch* control);
    void SpringTrap(TrapKind kind, const std::wstring& name);
    // Prints what changed on the add-on's overlays since the last look.
    void ReportOverlayChanges();

    HostApp& m_app;
    int m_number;
    HWND m_frame = nullptr;
    HostToolbar m_toolbar;
    win::ComPtr<HostBrowser> m_browser;
    win::ComPtr<HostDispatch> m_dispatch;
    win::ComPtr<IDispatch> m_control;
    DISPID m_onEventId = DISPID_UNKNOWN;
    std::vector<OverlayState> m_overlays;
    struct Trap
    {
        TrapAction action;
        TrapKind kind;
        std::wstring name;
    };
    std::optional<Trap> m_trap;
};

}  // namespace kelhost
