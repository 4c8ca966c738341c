#pragma once
// XStatic: a static control of a dialog template, bound by subclassing. It may show a keyed bitmap
// (XTransparentBitmap), which it loads again when the system colours change so the key colour follows the
// new button face. User-interface thread.

#include "ui/XTransparentBitmap.h"
#include "win/Window.h"

namespace ui
{

class XStatic : public win::Window
{
public:
    // Loads bitmap `resourceId` keyed to the button face, which it follows when the colours change, and
    // shows it. False when it does not load.
    [[nodiscard]] bool SetBitmap(UINT resourceId) noexcept;
    // The same keyed to a fixed colour.
    [[nodiscard]] bool SetBitmap(UINT resourceId, COLORREF transparent) noexcept;
    [[nodiscard]] SIZE BitmapSize() const noexcept { return m_size; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;

private:
    void ShowBitmap() noexcept;

    XTransparentBitmap m_bitmap;
    SIZE m_size{0, 0};
    bool m_followsButtonFace = true;
};

}  // namespace ui
