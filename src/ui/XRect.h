#pragma once
// XRect: a RECT with its width and height, made from another rectangle or from an origin and a size.

#include <windows.h>

namespace ui
{

class XRect : public RECT
{
public:
    XRect() noexcept : RECT{0, 0, 0, 0} {}
    XRect(LONG l, LONG t, LONG r, LONG b) noexcept : RECT{l, t, r, b} {}
    XRect(const RECT& other) noexcept : RECT(other) {}  // converting on purpose
    XRect(POINT origin, SIZE size) noexcept : RECT{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy} {}

    [[nodiscard]] LONG Width() const noexcept { return right - left; }
    [[nodiscard]] LONG Height() const noexcept { return bottom - top; }
    [[nodiscard]] bool IsEmpty() const noexcept { return right <= left || bottom <= top; }
    [[nodiscard]] friend bool operator==(const XRect& a, const XRect& b) noexcept
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

}  // namespace ui
