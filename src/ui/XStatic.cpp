#include "ui/XStatic.h"

namespace ui
{

bool XStatic::SetBitmap(UINT resourceId) noexcept
{
    const bool loaded = SetBitmap(resourceId, ::GetSysColor(COLOR_BTNFACE));
    m_followsButtonFace = true;
    return loaded;
}

bool XStatic::SetBitmap(UINT resourceId, COLORREF transparent) noexcept
{
    m_followsButtonFace = false;
    m_bitmap.SetTransparentColor(transparent);
    const bool loaded = m_bitmap.Load(resourceId);
    ShowBitmap();
    return loaded;
}

void XStatic::ShowBitmap() noexcept
{
    m_size = m_bitmap.GetSize();
    if (Hwnd())
    {
        ::SendMessageW(Hwnd(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bitmap.Get()));
    }
}

LRESULT XStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_SYSCOLORCHANGE && m_bitmap.IsLoaded())
    {
        if (m_followsButtonFace)
        {
            m_bitmap.SetTransparentColor(::GetSysColor(COLOR_BTNFACE));
        }
        if (m_bitmap.Reload())
        {
            ShowBitmap();
        }
    }
    return Default(message, wParam, lParam);
}

}  // namespace ui
