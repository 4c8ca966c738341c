#pragma once
// XToolbarController: the generic ActiveX control that the Kel toolbar host creates in every browser window.
// A product control derives from it, declares the scripted interface (its type library) and fills in the
// pure operations. The base keeps the link to the host's dispatch object (text lookup, macro expansion,
// toolbar window), keeps and navigates the browser and listens to its events, talks to the host's toolbar
// window with toolbar messages and the host's attribute message, and owns the add-on's windows: the
// subclass of the host toolbar window, the overlay buttons and the hidden dispatcher window.
//
// Created by the module's class factory and reference counted; everything runs on the thread that created
// it (the browser's UI thread), except PostControllerMessage, which any thread may call, and the two lookups a
// bubble's tracking thread makes (GetButtonScreenRect, GetToolbarHwnd). A call from another thread that changes
// the control, its overlays or the host's toolbar or browser (StartUp, ShutDown, the attribute and overlay
// operations, the layout, Navigate) is a broken rule (win::ThreadAffinity): StartUp refuses it with
// RPC_E_WRONG_THREAD, the others with their failure value; ShutDown only reports it. Dispatch calls are
// refused until the host has called IToolbarSecurity::EnableToolbarScripting. Operations that need the
// toolbar window give their failure value (0, FALSE, -1, (UINT)-1 or an empty rectangle) when it is gone.

#include "toolbar/HostToolbar.h"
#include "toolbar/HostToolbarInterface.h"
#include "ui/XBubbleOwner.h"
#include "win/OleControl.h"

#include <exdisp.h>
#include <objsafe.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace toolbar
{

class XToolbarWindow;
class XToolbarButtonControl;
class XToolbarDispatcherWindow;

class XToolbarController : public win::OleControl, public ui::XBubbleOwner
{
public:
    static constexpr UINT kNoCommand = static_cast<UINT>(-1);

    // --- Virtual operations of the framework ------------------------------------------------------------
    // Resource id of the control's type name and toolbox bitmap, and its misc status, as registered.
    [[nodiscard]] virtual UINT GetTypeNameResourceId() const noexcept = 0;
    [[nodiscard]] virtual DWORD GetRegisteredMiscStatus() const noexcept = 0;
    // Work another thread handed to the UI thread through PostControllerMessage. The base does nothing.
    virtual void ProcessControllerMessage(LPARAM value);
    // Attaches browser, host object, toolbar window and dispatcher window and posts the start-up message.
    // E_POINTER for a null argument or a browser that is not an IWebBrowser2 (then nothing is attached).
    virtual HRESULT StartUp(IDispatch* browser, IDispatch* toolbar, const std::wstring& dispatcherWindowName);
    // Detaches everything StartUp attached; returns 0. Safe to call again.
    virtual int ShutDown() noexcept;
    // Runs OnPostStartUp the first time any control of this module gets its start-up message; a control that has
    // begun to shut down does nothing and leaves the turn to another.
    virtual void PostStartUp();
    virtual void OnPostStartUp() {}
    // An overlay button was clicked. The base does nothing.
    virtual void OnButtonClicked(const std::wstring& buttonName);
    // A new subclass object for the host's toolbar window (XToolbarWindow or derived); null fails quietly.
    [[nodiscard]] virtual XToolbarWindow* CreateToolbarWindow() noexcept = 0;

    // --- Host link ----------------------------------------------------------------------------------------
    [[nodiscard]] std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override;
    [[nodiscard]] std::wstring ExpandHostMacros(const std::wstring& text) override;

    // --- Buttons of the host's toolbar --------------------------------------------------------------------
    [[nodiscard]] UINT GetCommandId(const std::wstring& buttonName) const;
    [[nodiscard]] std::wstring GetButtonName(int commandId) const;
    [[nodiscard]] int GetButtonIndex(const std::wstring& buttonName) const;
    BOOL SetButtonIcon(const std::wstring& buttonName, const std::wstring& icon);
    BOOL SetButtonTitle(const std::wstring& buttonName, const std::wstring& title);
    BOOL SetButtonTooltip(const std::wstring& buttonName, const std::wstring& tooltip);
    void SetButtonTexts(const std::wstring& buttonName, const std::wstring& icon, const std::wstring& title,
        const std::wstring& tooltip);
    BOOL SetButtonVisibility(const std::wstring& buttonName, BOOL visible);
    // Raises a toolbar event through the host's script. FALSE (and nothing sent) for a name that could
    // change the script: one with a quote, a backslash or a control character.
    BOOL FireToolbarEvent(const std::wstring& eventName, int value);
    [[nodiscard]] BOOL IsButtonShown(const std::wstring& buttonName) const;
    BOOL EnableButton(const std::wstring& buttonName, BOOL enable);
    BOOL HideButton(const std::wstring& buttonName, BOOL hide);
    BOOL HideButton(UINT commandId, BOOL hide);
    [[nodiscard]] int GetButtonCount() const;
    [[nodiscard]] UINT GetCommandIdAt(int index) const;
    [[nodiscard]] BOOL IsButtonHidden(UINT commandId) const;
    BOOL SetButtonWidth(const std::wstring& buttonName, int width);
    BOOL SetButtonWidth(UINT commandId, int width);
    [[nodiscard]] int GetButtonWidth(const std::wstring& buttonName) const;
    [[nodiscard]] int GetButtonWidth(UINT commandId) const;
    // Also called from a bubble's tracking thread.
    [[nodiscard]] RECT GetButtonScreenRect(const std::wstring& buttonName) override;
    [[nodiscard]] BOOL IsToolbarShown() const;
    // Also called from a bubble's tracking thread.
    [[nodiscard]] HWND GetToolbarHwnd() override;
    [[nodiscard]] HWND GetBrowserHwnd() override { return GetBrowserWindow(); }

    // --- Browser -------------------------------------------------------------------------------------------
    [[nodiscard]] HWND GetBrowserWindow() const;
    [[nodiscard]] RECT GetBrowserWindowRect() const;
    BOOL Navigate(const std::wstring& url, BOOL newWindow);
    HRESULT NavigateToKey(const std::wstring& key);

    // --- Overlay buttons -----------------------------------------------------------------------------------
    BOOL CreateButtonControl(const std::wstring& buttonName, UINT controlId);
    BOOL UpdateButton(const std::wstring& buttonName, UINT iconId, int cx, int cy, const std::wstring& title,
        const std::wstring& tooltip, BOOL visible, BOOL enabled, BOOL withTexts);
    BOOL UpdateAnimatedButton(const std::wstring& buttonName, const std::vector<UINT>& iconIds, int cx, int cy,
        UINT interval, const std::wstring& title, const std::wstring& tooltip, BOOL visible, BOOL enabled,
        BOOL withTexts);
    BOOL RemoveButtonControl(const std::wstring& buttonName);
    [[nodiscard]] XToolbarButtonControl* FindButtonControl(const std::wstring& buttonName) const noexcept;
    [[nodiscard]] const std::vector<std::unique_ptr<XToolbarButtonControl>>& ButtonControls() const noexcept
    {
        return m_buttons;
    }
    // Places every overlay over its host item again; fits those whose shown host item has no width or whose
    // fit waited while the item was hidden. Safe against re-entry from the toolbar messages it causes.
    void PlaceButtonControls();
    // Stretches the host's spacer so that the options button stands at the right end of the toolbar.
    void LayoutToolbar();

    // --- Dispatcher window ---------------------------------------------------------------------------------
    // Any thread: hands `value` to ProcessControllerMessage on the UI thread. FALSE without the window.
    BOOL PostControllerMessage(LPARAM value) noexcept;
    [[nodiscard]] HWND DispatcherHwnd() const noexcept { return m_dispatcherHwnd.load(); }

    // --- State ---------------------------------------------------------------------------------------------
    [[nodiscard]] BOOL IsShuttingDown() const noexcept { return m_shuttingDown; }
    void SetShuttingDown(BOOL value) noexcept { m_shuttingDown = value; }
    // The host's toolbar window is being destroyed: nothing may be sent to its handle any more.
    void ForgetToolbarHwnd() noexcept { m_toolbarHwnd = nullptr; }
    [[nodiscard]] IWebBrowser2* Browser() const noexcept { return m_browser.Get(); }
    [[nodiscard]] IDispatch* BrowserEventSink() noexcept { return &m_browserEvents; }

    // Lets the once-per-module post-start-up run again (for tests of that rule).
    static void ResetPostStartUpForTesting() noexcept;

protected:
    XToolbarController(const CLSID& classId, const IID& dispatchIid, const IID& eventsIid);
    ~XToolbarController() override;

    void OnFinalRelease() noexcept override;
    [[nodiscard]] BOOL IsInvokeAllowed(DISPID id) noexcept override;
    [[nodiscard]] DWORD GetControlFlags() const noexcept override;
    [[nodiscard]] DWORD GetOleMiscStatus() const noexcept override { return GetRegisteredMiscStatus(); }

    // Records a button of the host: name to command id and back.
    void MapButton(const std::wstring& buttonName, UINT commandId);
    // Forgets every button of the host (both maps).
    void ClearButtonMaps() noexcept;

    UINT m_browserMajorVersion = 0;
    BOOL m_showTextLabels = TRUE;
    std::wstring m_layoutAnchorButton;

private:
    class XObjectSafety final : public IObjectSafety
    {
    public:
        explicit XObjectSafety(XToolbarController& owner) noexcept : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override;
        ULONG STDMETHODCALLTYPE Release() noexcept override;
        HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(
            REFIID iid, DWORD* supported, DWORD* enabled) noexcept override;
        HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(
            REFIID iid, DWORD optionsToSet, DWORD enabledOptions) noexcept override;

    private:
        XToolbarController& m_owner;
    };

    class XToolbarSecurity final : public IToolbarSecurity
    {
    public:
        explicit XToolbarSecurity(XToolbarController& owner) noexcept : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override;
        ULONG STDMETHODCALLTYPE Release() noexcept override;
        HRESULT STDMETHODCALLTYPE EnableToolbarScripting() noexcept override;

    private:
        XToolbarController& m_owner;
    };

    // The sink of the browser's DWebBrowserEvents2. It lives inside the control and is not counted: the
    // connection is dropped before the control goes. No event has a handler; each is answered with S_OK.
    class XBrowserEvents final : public IDispatch
    {
    public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 1; }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override
        {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE Invoke(
            DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override
        {
            return S_OK;
        }
    };

    static constexpr DWORD kNotConnected = 0xFEFEFEFE;

    [[nodiscard]] HWND ToolbarHwnd() const noexcept;
    BOOL SendAttribute(UINT commandId, const std::wstring& attribute);
    void AttachBrowser(win::ComPtr<IWebBrowser2> browser) noexcept;
    void DetachBrowser() noexcept;
    void AttachToolbarWindow() noexcept;
    void DropToolbarWindow() noexcept;
    void CreateDispatcherWindow(const std::wstring& name) noexcept;
    void DestroyDispatcherWindow() noexcept;
    void DestroyButtonControls() noexcept;
    void PlaceButtonControlsOnce();

    XObjectSafety m_objectSafety{*this};
    XToolbarSecurity m_toolbarSecurity{*this};
    XBrowserEvents m_browserEvents;
    std::unique_ptr<XToolbarWindow> m_pToolbarWindow;
    HostToolbar m_hostToolbar;
    win::ComPtr<IWebBrowser2> m_browser;
    win::ComPtr<IConnectionPoint> m_browserEventsPoint;
    DWORD m_browserEventsCookie = kNotConnected;
    BOOL m_scriptingAllowed = FALSE;
    BOOL m_shuttingDown = FALSE;
    std::vector<std::unique_ptr<XToolbarButtonControl>> m_buttons;
    std::unique_ptr<XToolbarDispatcherWindow> m_pDispatcherWindow;
    // The toolbar window and the button maps are also read by a bubble's tracking thread (GetToolbarHwnd,
    // GetButtonScreenRect): the handle is one word, the maps are changed and read under their lock.
    std::atomic<HWND> m_toolbarHwnd{nullptr};
    mutable std::mutex m_buttonMapLock;
    std::map<std::wstring, UINT> m_buttonCommandIds;  // name -> command id
    std::map<UINT, std::wstring> m_buttonNames;  // command id -> name
    static constexpr int kPlacementRounds = 3;
    bool m_placing = false;
    bool m_placeAgain = false;
    std::atomic<HWND> m_dispatcherHwnd{nullptr};
};

}  // namespace toolbar
