#include "toolbar/XImageList.h"

#include "platform/OSVersion.h"
#include "win/GdiHandles.h"
#include "win/UserHandles.h"
#include "win/Module.h"

namespace toolbar
{

namespace
{
constexpr UINT kColourDdbWithMask = 0xFF;  // ILC_COLORDDB with a monochrome mask image
constexpr int kInitialImages = 16;
constexpr int kGrowBy = 16;
}  // namespace

bool XImageList::Create(int cx, int cy) noexcept
{
    m_list.Reset();
    m_indexes.clear();
    const UINT flags = platform::IsWindows2000OrXP() ? ILC_COLOR32 : kColourDdbWithMask;
    m_list.Reset(::ImageList_Create(cx, cy, flags, kInitialImages, kGrowBy));
    if (!m_list)
    {
        return false;
    }
    ::ImageList_SetBkColor(m_list.Get(), CLR_NONE);
    m_size = {cx, cy};
    return true;
}

bool XImageList::CreateFromIcon(UINT iconId, int cx, int cy) noexcept
{
    return Create(cx, cy) && AddIcon(iconId);
}

bool XImageList::CreateFromBitmap(UINT bitmapId, UINT maskId) noexcept
{
    win::Bitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(win::ThisModule(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap.Get(), sizeof(info), &info))
    {
        return false;
    }
    return Create(info.bmWidth, info.bmHeight) && AddBitmap(bitmapId, maskId);
}

bool XImageList::AddIcon(UINT iconId) noexcept
{
    if (!m_list)
    {
        return false;
    }
    win::IconHandle icon(static_cast<HICON>(
        ::LoadImageW(win::ThisModule(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, m_size.cx, m_size.cy, LR_DEFAULTCOLOR)));
    if (!icon)
    {
        return false;
    }
    const int index = ::ImageList_AddIcon(m_list.Get(), icon.Get());
    if (index < 0)
    {
        return false;
    }
    m_indexes[iconId] = static_cast<UINT>(index);
    return true;
}

bool XImageList::AddBitmap(UINT bitmapId, UINT maskId) noexcept
{
    if (!m_list)
    {
        return false;
    }
    const HMODULE module = win::ThisModule();
    win::Bitmap bitmap(
        static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    win::Bitmap mask(
        static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(maskId), IMAGE_BITMAP, 0, 0, LR_MONOCHROME)));
    if (!bitmap)
    {
        return false;
    }
    const int index = ::ImageList_Add(m_list.Get(), bitmap.Get(), mask.Get());
    if (index < 0)
    {
        return false;
    }
    m_indexes[bitmapId] = static_cast<UINT>(index);
    return true;
}

UINT XImageList::IndexOf(UINT id) const noexcept
{
    const auto found = m_indexes.find(id);
    return found == m_indexes.end() ? kMissing : found->second;
}

}  // namespace toolbar
