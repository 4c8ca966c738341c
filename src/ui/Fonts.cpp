#include "ui/Fonts.h"

#include "win/Scope.h"

#include <cstddef>

namespace ui
{

namespace
{
int CALLBACK StopAtFirstFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) noexcept
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

int ScreenPixelsPerInch() noexcept
{
    const win::WindowDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

// The menu font's description. The record is asked for in its short form (without the padded border
// width), which every system from 2000 on accepts.
bool MenuFontDescription(LOGFONTW& font) noexcept
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
    {
        return false;
    }
    font = metrics.lfMenuFont;
    return true;
}
}  // namespace

bool FontFaceExists(const std::wstring& face, BYTE charset) noexcept
{
    if (face.empty() || face.size() >= LF_FACESIZE)
    {
        return false;
    }
    const win::WindowDC screen(nullptr);
    if (!screen)
    {
        return false;
    }
    LOGFONTW query{};
    query.lfCharSet = charset;
    face.copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(screen.Get(), &query, &StopAtFirstFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

BYTE CurrentAnsiCharset() noexcept
{
    CHARSETINFO info{};
    if (::TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<ULONG_PTR>(::GetACP())), &info, TCI_SRCCODEPAGE))
    {
        return static_cast<BYTE>(info.ciCharset);
    }
    return ANSI_CHARSET;
}

bool MakeFont(const std::wstring& face, int points, const FontStyle& style, win::Font& font) noexcept
{
    font.Reset();
    LOGFONTW description{};
    description.lfCharSet = CurrentAnsiCharset();
    if (face.size() < LF_FACESIZE)
    {
        face.copy(description.lfFaceName, LF_FACESIZE - 1);
    }
    if (!FontFaceExists(face, description.lfCharSet))
    {
        LOGFONTW menu{};
        if (MenuFontDescription(menu))
        {
            description = menu;
        }
    }
    description.lfHeight = -::MulDiv(points, ScreenPixelsPerInch(), 72);
    if (style.italic)
    {
        description.lfItalic = TRUE;
    }
    if (style.bold)
    {
        description.lfWeight = FW_BOLD;
    }
    if (style.underline)
    {
        description.lfUnderline = TRUE;
    }
    if (style.clearType)
    {
        description.lfQuality = CLEARTYPE_QUALITY;
    }
    font.Reset(::CreateFontIndirectW(&description));
    return font.IsValid();
}

int PixelsToPoints(int pixels) noexcept
{
    return ::MulDiv(pixels, 72, ScreenPixelsPerInch());
}

}  // namespace ui
