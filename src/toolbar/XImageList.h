#pragma once
// XImageList: an image list of the module's icons or bitmaps that remembers under which resource id each
// image went in. 32-bit colour on Windows 2000 and XP; elsewhere device-dependent colour with a mask for
// transparency. Owns its list; used on the UI thread.

#include "win/ControlHandles.h"

#include <windows.h>
#include <commctrl.h>

#include <map>

namespace toolbar
{

class XImageList
{
public:
    static constexpr UINT kMissing = static_cast<UINT>(-1);

    XImageList() noexcept = default;
    XImageList(const XImageList&) = delete;
    XImageList& operator=(const XImageList&) = delete;

    // A list of cx x cy images holding the icon `iconId` of this module.
    [[nodiscard]] bool CreateFromIcon(UINT iconId, int cx, int cy) noexcept;
    // A list sized after the bitmap `bitmapId`, holding it with `maskId` as its transparency.
    [[nodiscard]] bool CreateFromBitmap(UINT bitmapId, UINT maskId) noexcept;

    // Adds an image and records its index under its id; false when it cannot be loaded or added.
    bool AddIcon(UINT iconId) noexcept;
    bool AddBitmap(UINT bitmapId, UINT maskId) noexcept;

    // The index of the image added under `id`; kMissing when none was.
    [[nodiscard]] UINT IndexOf(UINT id) const noexcept;
    [[nodiscard]] HIMAGELIST Get() const noexcept { return m_list.Get(); }
    [[nodiscard]] SIZE ImageSize() const noexcept { return m_size; }

private:
    [[nodiscard]] bool Create(int cx, int cy) noexcept;

    win::ImageListHandle m_list;
    std::map<UINT, UINT> m_indexes;
    SIZE m_size{0, 0};
};

}  // namespace toolbar
