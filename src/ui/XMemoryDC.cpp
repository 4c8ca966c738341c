#include "ui/XMemoryDC.h"

namespace ui
{

XMemoryDC::XMemoryDC(HDC target, const RECT& rect) noexcept : m_target(target), m_rect(rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!target || width <= 0 || height <= 0)
    {
        return;
    }
    win::MemoryDC dc(::CreateCompatibleDC(target));
    win::Bitmap bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!dc || !bitmap)
    {
        return;
    }
    m_displaced = ::SelectObject(dc.Get(), bitmap.Get());
    ::SetViewportOrgEx(dc.Get(), -rect.left, -rect.top, nullptr);
    m_dc = std::move(dc);
    m_bitmap = std::move(bitmap);
}

XMemoryDC::~XMemoryDC()
{
    if (!m_dc)
    {
        return;
    }
    ::SetViewportOrgEx(m_dc.Get(), 0, 0, nullptr);
    ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_dc.Get(), 0,
        0, SRCCOPY);
    ::SelectObject(m_dc.Get(), m_displaced);
}

}  // namespace ui
