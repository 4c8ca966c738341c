#pragma once
// XDialog: the base of the add-on's dialogs. It gives every control of the dialog, at any depth, the shared
// 8-point font, keeps the visual-style theme of scroll bars open (reopened when the style changes) and
// draws the size grip with it, or in the classic look without one. Owned and used like win::Dialog.

#include "win/ControlHandles.h"
#include "win/Dialog.h"

#include <uxtheme.h>

namespace ui
{

class XDialog : public win::Dialog
{
public:
    XDialog() noexcept = default;
    ~XDialog() override;

    // Draws the size grip into `rect`: themed when a theme is open, classic otherwise.
    void DrawSizeGrip(HDC dc, const RECT& rect) const noexcept;
    [[nodiscard]] HTHEME Theme() const noexcept { return m_theme.Get(); }

protected:
    bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Derived dialogs call this first from their own OnInitDialog.
    BOOL OnInitDialog() override;

    void OpenTheme() noexcept;
    void CloseTheme() noexcept;

private:
    win::ThemeHandle m_theme;
};

}  // namespace ui
