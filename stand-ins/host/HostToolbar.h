#pragma once
// HostToolbar: the host's toolbar in one tab, a Win32 toolbar control holding the five buttons of the add-on
// (search 101, logo 102, Pavise status 103, Norvix update 106, options 107), the spacer 104 whose width the
// add-on sets and the item 105 that the add-on hides. The host subclasses its own toolbar to take the
// attribute message: `name="value"` for a button, or with command id 0 the FireEvent script, which it hands
// to its owner. Every attribute message is reported, and every change in what a button shows (after the
// attribute message or a toolbar message that can change a button) is reported as the button's new state.
// The add-on subclasses the same window on top of this one; the host's subclass stays below it.
// Owned by its tab; UI thread only.

#include "AttributeText.h"
#include "FireEventScript.h"

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelhost
{

constexpr UINT kSearchCommandId = 101;
constexpr UINT kLogoCommandId = 102;
constexpr UINT kPaviseCommandId = 103;
constexpr UINT kUpdateCommandId = 106;
constexpr UINT kOptionsCommandId = 107;

struct ButtonDefinition
{
    UINT id;
    const wchar_t* name;  // the add-on's button name, or the host's own name for 104 and 105
    const wchar_t* alias;  // a short name for the command channel
    const wchar_t* title;
};

// The buttons in their order on the toolbar.
[[nodiscard]] const std::vector<ButtonDefinition>& ToolbarLayout();
// A button by name, alias (both without regard to case) or decimal command id, as the command channel writes
// it; null when there is none.
[[nodiscard]] const ButtonDefinition* FindButton(std::wstring_view nameOrId);
// A button by command id; null when there is none.
[[nodiscard]] const ButtonDefinition* FindButton(UINT id);

struct ButtonState
{
    UINT id = 0;
    std::wstring name;
    std::wstring icon;
    std::wstring title;
    std::wstring tooltip;
    bool visible = true;
    bool enabled = true;
    int width = 0;
    bool overlay = false;  // a window of the add-on lies over the button and draws it

    bool operator==(const ButtonState&) const = default;
};

// "button 106 name=CID_NORVIX_UPDATE icon="1004" title="Update Norvix" tooltip="" visible=1 enabled=0
// width=96 overlay=1"
[[nodiscard]] std::wstring FormatButtonState(const ButtonState& state);

// What one of the add-on's overlay buttons shows, read from the overlay window itself.
struct OverlayState
{
    UINT id = 0;
    std::wstring name;
    UINT icon = 0;
    std::wstring title;
    std::wstring tooltip;
    bool visible = false;
    bool enabled = false;
    bool tooltipShown = false;  // the tooltip is on the screen now (the pointer rests on the button)

    bool operator==(const OverlayState&) const = default;
};

// "overlay 106 name=CID_NORVIX_UPDATE icon=1004 title="Update Norvix" tooltip="..." visible=1 enabled=1 shown=0"
[[nodiscard]] std::wstring FormatOverlayState(const OverlayState& state);

class HostToolbar
{
public:
    struct Handlers
    {
        std::function<void(const ButtonState&)> onChange;
        // Every attribute message: command id, its text ("" when unreadable), whether the host took it.
        std::function<void(UINT, std::wstring_view, bool)> onAttribute;
        // The FireEvent script; true when the event was raised.
        std::function<bool(const ToolbarEvent&)> onFireEvent;
        // The host's own layout request (3034 with wParam 0 and lParam 1), which the add-on passes on.
        std::function<void()> onLayout;
    };

    explicit HostToolbar(Handlers handlers);
    HostToolbar(const HostToolbar&) = delete;
    HostToolbar& operator=(const HostToolbar&) = delete;
    ~HostToolbar();

    // Creates the toolbar as a child of `parent`, fills it and subclasses it. False when any step fails.
    [[nodiscard]] bool Create(HWND parent);
    void Destroy() noexcept;

    [[nodiscard]] HWND Hwnd() const noexcept { return m_toolbar; }
    [[nodiscard]] std::vector<ButtonState> States() const;
    [[nodiscard]] std::optional<ButtonState> State(UINT id) const;
    // What the add-on's overlays show, in the order of the toolbar's layout.
    [[nodiscard]] std::vector<OverlayState> OverlayStates() const;
    // The add-on's window over a button, or null.
    [[nodiscard]] HWND OverlayOver(UINT id) const noexcept;
    // The tooltip text recorded for a button ("" for an unknown one); stays valid until it changes.
    [[nodiscard]] const wchar_t* Tooltip(UINT id) const noexcept;

    // Applies one attribute message as the toolbar window does; TRUE when taken.
    LRESULT ApplyAttribute(WPARAM commandId, LPARAM text);

private:
    struct Recorded
    {
        std::wstring icon;
        std::wstring title;
        std::wstring tooltip;
    };

    static LRESULT CALLBACK SubclassProc(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void ReportChanges(const std::vector<ButtonState>& before);

    Handlers m_handlers;
    HWND m_toolbar = nullptr;
    bool m_subclassed = false;
    int m_changeDepth = 0;
    std::map<UINT, Recorded> m_recorded;
};

}  // namespace kelhost
