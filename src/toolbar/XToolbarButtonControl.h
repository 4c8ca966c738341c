#pragma once
// XToolbarButtonControl: a child window laid exactly over one item of the host's toolbar, drawing that
// button itself (icon or icon sequence, title, themed or classic look, hover and press) and reporting clicks
// to its controller. The controller creates and owns it; it lives on the toolbar's thread. Every setter
// returns TRUE when something changed; the same value again changes nothing.

#include "win/ControlHandles.h"
#include "win/UserHandles.h"
#include "win/Window.h"

#include <uxtheme.h>

#include <string>
#include <vector>

namespace toolbar
{

class XToolbarController;

class XToolbarButtonControl final : public win::Window
{
public:
    static constexpr UINT_PTR kHoverTimerId = 0x0887298A;
    static constexpr UINT kHoverInterval = 30;
    static constexpr UINT_PTR kFrameTimerId = 0x09933112;
    static constexpr LPCWSTR kClassName = L"Kel::XToolbarButtonControl";

    XToolbarButtonControl(XToolbarController& controller, std::wstring name) noexcept;
    ~XToolbarButtonControl() override;

    // Creates the window over the host item of its name, child of `toolbar`.
    [[nodiscard]] bool CreateOver(HWND toolbar, UINT controlId) noexcept;

    BOOL SetVisibility(BOOL visible);
    BOOL SetIcon(UINT iconId, int cx, int cy) noexcept;
    BOOL SetIconSequence(const std::vector<UINT>& iconIds, int cx, int cy, UINT interval);
    BOOL SetTitle(const std::wstring& title);
    BOOL SetTooltip(const std::wstring& tooltip);
    // Whether the button takes clicks. Only the clicks (and the hot look) follow it: the window stays enabled, so
    // its tooltip shows and it is painted as the window's own state says.
    BOOL SetEnabled(BOOL enabled) noexcept;
    void StartSequence() noexcept;
    void StopSequence() noexcept;

    // The width the host item needs for icon and title.
    [[nodiscard]] int ComputeWidth() const;
    // Sets the host item to ComputeWidth when it differs, places the overlay and asks for a relayout. An item
    // the toolbar hides is left as it is and marked for a fit when it is shown.
    void Fit();
    [[nodiscard]] bool IsFitPending() const noexcept { return m_fitPending; }
    // When Place repaints the overlay.
    enum class Repaint
    {
        IfMoved,
        Always,
    };
    // Moves the overlay onto its host item when that moved; repaints when moved or when asked.
    void Place(Repaint repaint) noexcept;
    // Draws the whole control (background, icon, title) into `dc` at the control's client origin.
    void Paint(HDC dc) noexcept;

    [[nodiscard]] const std::wstring& Name() const noexcept { return m_name; }
    [[nodiscard]] const std::wstring& Title() const noexcept { return m_title; }
    [[nodiscard]] const std::wstring& Tooltip() const noexcept { return m_tooltip; }
    [[nodiscard]] BOOL IsVisibleFlag() const noexcept { return m_visible; }
    [[nodiscard]] BOOL IsHot() const noexcept { return m_hot; }
    [[nodiscard]] BOOL IsPressed() const noexcept { return m_pressed; }
    [[nodiscard]] BOOL IsAnimating() const noexcept { return m_animating; }
    [[nodiscard]] int FrameIndex() const noexcept { return m_frameIndex; }
    [[nodiscard]] UINT IconId() const noexcept { return m_iconId; }
    [[nodiscard]] bool UsesVisualStyles() const noexcept { return m_theme.IsValid(); }
    // Gaps before the icon (g1) and around the text (g2).
    [[nodiscard]] int IconGap() const noexcept { return m_theme ? 3 : 2; }
    [[nodiscard]] int TextGap() const noexcept { return m_theme ? 5 : 6; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    [[nodiscard]] SIZE IconSize() const noexcept;
    [[nodiscard]] HICON CurrentIcon() const noexcept;
    [[nodiscard]] bool HostItemRect(RECT& rect) const noexcept;
    enum class LeftButton
    {
        Up,
        Held,
    };
    // Follows the cursor at `point` (client coordinates); true when it is inside.
    bool Track(POINT point, LeftButton leftButton) noexcept;
    void ClearMouseState() noexcept;
    void AdvanceFrame() noexcept;
    void FreeFrames() noexcept;
    void FreeIcon() noexcept;
    void PublishState() noexcept;
    void InvalidateIconArea() noexcept;
    void EraseWithParent(HDC dc) noexcept;
    void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    XToolbarController& m_controller;
    std::wstring m_name;
    BOOL m_hot = FALSE;
    BOOL m_pressed = FALSE;
    BOOL m_hoverTimerRunning = FALSE;
    BOOL m_mouseDown = FALSE;
    std::wstring m_title;
    UINT m_iconId = 0;
    win::IconHandle m_icon;
    SIZE m_iconSize{0, 0};
    win::WindowHandle m_tooltipControl;
    std::wstring m_tooltip;
    BOOL m_enabled = TRUE;
    BOOL m_visible = TRUE;
    win::ThemeHandle m_theme;
    int m_frameIndex = -1;
    std::vector<win::IconHandle> m_frames;
    std::vector<UINT> m_frameIds;  // resource ids of m_frames
    SIZE m_frameSize{0, 0};
    UINT m_frameInterval = 120;
    BOOL m_animating = FALSE;
    bool m_fitPending = false;
};

}  // namespace toolbar
