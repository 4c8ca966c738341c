#pragma once
// XMemoryDC: an off-screen surface for flicker-free painting. It takes a target DC and the rectangle to
// paint; drawing goes to a compatible bitmap in the target's own coordinates (the viewport is shifted by the
// rectangle's origin), and the destructor copies the finished picture to the target in one BitBlt. When no
// off-screen surface can be made, Get() is the target itself, so painting still happens, only unbuffered.
// Used within one paint handler on the window's thread.

#include "win/GdiHandles.h"

namespace ui
{

class XMemoryDC
{
public:
    XMemoryDC(HDC target, const RECT& rect) noexcept;
    XMemoryDC(const XMemoryDC&) = delete;
    XMemoryDC& operator=(const XMemoryDC&) = delete;
    ~XMemoryDC();

    [[nodiscard]] HDC Get() const noexcept { return m_dc ? m_dc.Get() : m_target; }
    [[nodiscard]] bool IsBuffered() const noexcept { return m_dc.IsValid(); }

private:
    HDC m_target;
    RECT m_rect;
    win::MemoryDC m_dc;
    win::Bitmap m_bitmap;
    HGDIOBJ m_displaced = nullptr;
};

}  // namespace ui
