#pragma once
// XBitmapButton: a button drawn from four keyed bitmaps (normal, hot, pressed, disabled) over a control of
// a dialog template, which it subclasses and resizes to its normal bitmap. A click (press and release
// inside) sends the dialog WM_COMMAND with the control's id, as a push button would. Hover is followed with
// a 30 ms timer rather than mouse tracking, so the hot image also goes when the cursor leaves quickly.
// Images that do not load are replaced: a missing disabled image by the normal one, a missing normal image
// by a drawn cross, so the button always shows and always works. User-interface thread.

#include "ui/XTransparentBitmap.h"
#include "win/Window.h"

#include <array>

namespace ui
{

class XBitmapButton : public win::Window
{
public:
    static constexpr UINT_PTR kHoverTimer = 0x0923719C;
    static constexpr UINT kHoverInterval = 30;

    enum Image : std::size_t
    {
        Normal,
        Hot,
        Pressed,
        Disabled,
    };

    // Binds the template control `controlId` of `parent`, keys the four images to `background`, loads them,
    // and sizes the button to the normal image. `disabledFallbackName` names a bitmap tried when the disabled
    // id does not load. False when the control does not exist; missing images are not failures.
    [[nodiscard]] bool Setup(HWND parent, int controlId, COLORREF background, UINT normalId, UINT hotId, UINT pressedId,
        UINT disabledId, const wchar_t* disabledFallbackName = nullptr) noexcept;

    // What a click does: tells the parent, as a push button would.
    void Click() noexcept;

    // The image the button shows in its present state.
    [[nodiscard]] Image CurrentImage() const noexcept;
    [[nodiscard]] bool IsImageLoaded(Image image) const noexcept { return m_images[image].IsLoaded(); }
    [[nodiscard]] bool IsHot() const noexcept { return m_mouseOver; }
    [[nodiscard]] bool IsPressed() const noexcept { return m_pressed; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;

private:
    void Paint(HDC dc) noexcept;
    bool HitTest(POINT client) noexcept;
    void Repaint() noexcept;

    std::array<XTransparentBitmap, 4> m_images;
    HWND m_parent = nullptr;
    bool m_mouseDown = false;  // a press started on this button and the mouse is captured for it
    bool m_pressed = false;  // the press is over the button
    bool m_mouseOver = false;
    bool m_timerRunning = false;
};

}  // namespace ui
