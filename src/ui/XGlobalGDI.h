#pragma once
// XGlobalGDI: the fonts every window of the add-on shares, all of one face, and the menu colour. One
// instance serves the module (TheGlobalGDI); the application object makes its fonts when the module is
// loaded, and they live until it unloads. User-interface thread only. Until CreateFonts has succeeded the
// fonts are null and windows keep the system's font.

#include "win/GdiHandles.h"

#include <array>
#include <cstddef>

namespace ui
{

enum class GlobalFont : std::size_t
{
    Normal8,
    Normal8ClearType,
    Bold8,
    Bold8ClearType,
    Normal7,
    Normal7ClearType,
    Bold10,
    Normal10,
};

class XGlobalGDI
{
public:
    XGlobalGDI() noexcept = default;
    XGlobalGDI(const XGlobalGDI&) = delete;
    XGlobalGDI& operator=(const XGlobalGDI&) = delete;

    // Loads the face from string `faceResourceId` of `module` (this module when null) and makes the eight
    // fonts anew. True only when the face was found and every font was made.
    [[nodiscard]] bool CreateFonts(UINT faceResourceId, HMODULE module = nullptr) noexcept;
    void DeleteFonts() noexcept;

    [[nodiscard]] HFONT GetFont(GlobalFont which) const noexcept
    {
        return m_fonts[static_cast<std::size_t>(which)].Get();
    }

    // COLOR_MENUBAR on 2000/XP with flat menus, otherwise COLOR_MENU (0x00BBGGRR).
    [[nodiscard]] static COLORREF GetMenuColor() noexcept;
    [[nodiscard]] static COLORREF SelectMenuColor(
        bool windows2000OrXP, bool flatMenus, COLORREF menu, COLORREF menuBar) noexcept;

private:
    std::array<win::Font, 8> m_fonts;
};

// The module's one instance.
[[nodiscard]] XGlobalGDI& TheGlobalGDI() noexcept;

}  // namespace ui
