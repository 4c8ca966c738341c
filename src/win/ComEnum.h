#pragma once
// ComEnum: an IEnumXxx object over a snapshot of items, for the enumerators that connection-point
// containers hand out (IEnumConnectionPoints over IConnectionPoint*, IEnumConnections over CONNECTDATA).
// The snapshot holds a reference to every interface pointer in it; Next hands out a further reference per
// item, which the caller releases. A clone shares nothing with its original but the items and the position.
// Threading: one caller at a time, as any apartment-threaded object.

#include "win/ComBoundary.h"
#include "win/ComObject.h"

#include <ocidl.h>

#include <new>
#include <span>
#include <utility>
#include <vector>

namespace win
{

namespace detail
{
// How an item of an enumeration holds its references.
inline void AddItemRef(IUnknown* item) noexcept
{
    if (item)
    {
        item->AddRef();
    }
}
inline void ReleaseItem(IUnknown* item) noexcept
{
    if (item)
    {
        item->Release();
    }
}
inline void AddItemRef(const CONNECTDATA& item) noexcept
{
    AddItemRef(item.pUnk);
}
inline void ReleaseItem(const CONNECTDATA& item) noexcept
{
    ReleaseItem(item.pUnk);
}
}  // namespace detail

template <typename Enum, typename Item>
class ComEnum final : public ComObject, public Enum
{
public:
    WIN_COM_IUNKNOWN

    // A new enumerator over `items` (each gains a reference), queried for Enum into `out`.
    [[nodiscard]] static HRESULT Create(std::vector<Item> items, Enum** out) noexcept
    {
        if (!out)
        {
            return E_POINTER;
        }
        *out = nullptr;
        auto* created = new (std::nothrow) ComEnum(std::move(items), 0);
        if (!created)
        {
            return E_OUTOFMEMORY;
        }
        created->InternalAddRef();
        const HRESULT hr = created->InternalQueryInterface(__uuidof(Enum), reinterpret_cast<void**>(out));
        created->InternalRelease();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) noexcept override
    {
        if (fetched)
        {
            *fetched = 0;
        }
        if (!items || (count > 1 && !fetched))
        {
            return E_POINTER;
        }
        ULONG given = 0;
        while (given < count && m_position < m_items.size())
        {
            items[given] = m_items[m_position++];
            detail::AddItemRef(items[given]);
            ++given;
        }
        if (fetched)
        {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override
    {
        const size_t left = m_items.size() - m_position;
        if (count > left)
        {
            m_position = m_items.size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Reset() noexcept override
    {
        m_position = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(Enum** out) noexcept override
    {
        if (!out)
        {
            return E_POINTER;
        }
        *out = nullptr;
        return ComBoundary([&] {
            // NOLINTNEXTLINE(bugprone-unhandled-exception-at-new): ComBoundary, around this lambda, catches it
            auto* copy = new ComEnum(m_items, m_position);
            copy->InternalAddRef();
            const HRESULT hr = copy->InternalQueryInterface(__uuidof(Enum), reinterpret_cast<void**>(out));
            copy->InternalRelease();
            return hr;
        });
    }

protected:
    std::span<const InterfaceEntry> InterfaceTable() const noexcept override
    {
        static const InterfaceEntry kTable[] = {InterfaceOf<Enum, ComEnum>(__uuidof(Enum))};
        return kTable;
    }

private:
    ComEnum(std::vector<Item> items, size_t position) noexcept : m_items(std::move(items)), m_position(position)
    {
        for (const Item& item : m_items)
        {
            detail::AddItemRef(item);
        }
    }
    ~ComEnum() override
    {
        for (const Item& item : m_items)
        {
            detail::ReleaseItem(item);
        }
    }

    std::vector<Item> m_items;
    size_t m_position;
};

using ConnectionPointsEnum = ComEnum<IEnumConnectionPoints, IConnectionPoint*>;
using ConnectionsEnum = ComEnum<IEnumConnections, CONNECTDATA>;

}  // namespace win
