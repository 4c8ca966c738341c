#pragma once
// XTransparentBitmap: a bitmap resource whose magenta pixels (255, 0, 255 exactly) are rewritten with a
// transparent colour when it is loaded, so one picture suits any background. Only 24-bit bitmaps are keyed;
// another depth fails to load. The default transparent colour is the button face. User-interface thread.

#include "win/GdiHandles.h"

#include <cstdint>

namespace ui
{

class XTransparentBitmap
{
public:
    XTransparentBitmap() noexcept = default;
    XTransparentBitmap(const XTransparentBitmap&) = delete;
    XTransparentBitmap& operator=(const XTransparentBitmap&) = delete;

    // Loads bitmap `resourceId` of `module` (this module when null) as a DIB section and keys it. 0 and a
    // missing resource give false; the previous bitmap is dropped either way.
    [[nodiscard]] bool Load(UINT resourceId, HMODULE module = nullptr) noexcept;
    // The same for a bitmap kept under a name.
    [[nodiscard]] bool LoadNamed(const wchar_t* name, HMODULE module = nullptr) noexcept;
    // Loads the same resource again, e.g. after the transparent colour changed. False when none was loaded.
    [[nodiscard]] bool Reload() noexcept;
    void Clear() noexcept;

    void SetTransparentColor(COLORREF color) noexcept { m_transparent = color; }
    [[nodiscard]] COLORREF GetTransparentColor() const noexcept { return m_transparent; }
    [[nodiscard]] HBITMAP Get() const noexcept { return m_bitmap.Get(); }
    [[nodiscard]] bool IsLoaded() const noexcept { return m_bitmap.IsValid(); }
    [[nodiscard]] UINT ResourceId() const noexcept { return m_resourceId; }
    // Width and height; 0 x 0 when none is loaded.
    [[nodiscard]] SIZE GetSize() const noexcept;

    // Rewrites exact magenta in 24-bit rows (blue, green, red; rows padded to 4 bytes) with `color`.
    static void ReplaceMagenta(std::uint8_t* bits, int width, int height, COLORREF color) noexcept;

private:
    bool LoadFrom(HMODULE module, const wchar_t* resource) noexcept;

    win::Bitmap m_bitmap;
    UINT m_resourceId = 0;
    const wchar_t* m_name = nullptr;
    HMODULE m_module = nullptr;
    COLORREF m_transparent = ::GetSysColor(COLOR_BTNFACE);
};

}  // namespace ui
