#include "ui/XGlobalGDI.h"

#include "platform/OSVersion.h"
#include "ui/Fonts.h"
#include "win/FailureReport.h"
#include "win/Module.h"

namespace ui
{

namespace
{
struct FontKind
{
    int points;
    FontStyle style;
};

// In the order of GlobalFont.
constexpr FontKind kFontKinds[] = {
    {8, {}},
    {8, {.clearType = true}},
    {8, {.bold = true}},
    {8, {.bold = true, .clearType = true}},
    {7, {}},
    {7, {.clearType = true}},
    {10, {.bold = true}},
    {10, {}},
};
}  // namespace

bool XGlobalGDI::CreateFonts(UINT faceResourceId, HMODULE module) noexcept
{
    std::wstring face;
    try
    {
        face = win::LoadStringResource(module ? module : win::ThisModule(), faceResourceId);
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("font face name");
        return false;
    }
    if (face.empty())
    {
        return false;
    }
    DeleteFonts();
    bool all = true;
    for (std::size_t i = 0; i < m_fonts.size(); ++i)
    {
        const FontKind& kind = kFontKinds[i];
        all = MakeFont(face, kind.points, kind.style, m_fonts[i]) && all;
    }
    return all;
}

void XGlobalGDI::DeleteFonts() noexcept
{
    for (auto& font : m_fonts)
    {
        font.Reset();
    }
}

COLORREF XGlobalGDI::SelectMenuColor(bool windows2000OrXP, bool flatMenus, COLORREF menu, COLORREF menuBar) noexcept
{
    return windows2000OrXP && flatMenus ? menuBar : menu;
}

COLORREF XGlobalGDI::GetMenuColor() noexcept
{
    const bool oldSystem = platform::IsWindows2000OrXP() != FALSE;
    BOOL flat = FALSE;
    if (oldSystem && !::SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0))
    {
        flat = FALSE;
    }
    return SelectMenuColor(oldSystem, flat != FALSE, ::GetSysColor(COLOR_MENU), ::GetSysColor(COLOR_MENUBAR));
}

XGlobalGDI& TheGlobalGDI() noexcept
{
    static XGlobalGDI instance;
    return instance;
}

}  // namespace ui
