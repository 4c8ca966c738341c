#include "ui/XGlobalGDI.h"

#include "platform/OSVersion.h"
#include "ui/Fonts.h"
#include "win/FailureReport.h"
#include "win/Module.h"

namespace
{
struct FontKind
{
    int points;
    bool bold;
    bool clearType;
};

// In the order of GlobalFont.
constexpr FontKind kFontKinds[] = {
    {8, false, false},
    {8, false, true},
    {8, true, false},
    {8, true, true},
    {7, false, false},
    {7, false, true},
    {10, true, false},
    {10, false, false},
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
        all = MakeFont(face, kind.points, kind.bold, false, false, kind.clearType, m_fonts[i]) && all;
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
    const bool oldSystem = IsWindows2000OrXP() != FALSE;
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
