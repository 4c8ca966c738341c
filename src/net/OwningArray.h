#pragma once
// OwningArray: the list pattern shared by HTTPOptionItemArray and XXMLNodeArray. The list owns its items:
// removing an entry or clearing the list deletes the item. Entries may be null (SetAt with null); GetAt gives
// null for them and for an index outside the list, so a caller's bad index never reads past the end.
// Capacity grows in steps of 1024 entries. Not thread-safe: one owner thread at a time.

#include <algorithm>
#include <memory>
#include <vector>

namespace net
{

template <typename Item>
class OwningArray
{
public:
    static constexpr int kGrowBy = 1024;

    OwningArray() = default;
    OwningArray(const OwningArray&) = delete;
    OwningArray& operator=(const OwningArray&) = delete;
    virtual ~OwningArray() = default;

    [[nodiscard]] int GetCount() const noexcept { return static_cast<int>(m_items.size()); }

    // The item at `index`; null for an empty entry or an index outside the list.
    [[nodiscard]] virtual Item* GetAt(int index) const noexcept
    {
        return IsIndex(index) ? m_items[static_cast<size_t>(index)].get() : nullptr;
    }

    // Replaces (and deletes) the entry at `index` with `item`, which the list then owns. An index outside the
    // list changes nothing, deletes `item` and gives false.
    virtual bool SetAt(int index, Item* item)
    {
        std::unique_ptr<Item> owned(item);
        if (!IsIndex(index))
        {
            return false;
        }
        m_items[static_cast<size_t>(index)] = std::move(owned);
        return true;
    }

    // Appends `item`, which the list then owns; gives its index.
    virtual int Add(Item* item) { return Add(std::unique_ptr<Item>(item)); }
    int Add(std::unique_ptr<Item> owned)
    {
        if (m_items.size() == m_items.capacity())
        {
            m_items.reserve(m_items.capacity() + kGrowBy);
        }
        m_items.push_back(std::move(owned));
        return GetCount() - 1;
    }

    // Index of that very item (identity, not equality); -1 when absent or null.
    [[nodiscard]] virtual int Find(const Item* item) const noexcept
    {
        if (!item)
        {
            return -1;
        }
        const auto it = std::find_if(m_items.begin(), m_items.end(), [item](const auto& p) { return p.get() == item; });
        return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
    }

    virtual void RemoveAll() noexcept { m_items.clear(); }

    // Removes and deletes that very item and nulls the caller's pointer; false when it is not in the list.
    virtual bool Remove(Item*& item) noexcept
    {
        const int index = Find(item);
        if (index < 0)
        {
            return false;
        }
        m_items.erase(m_items.begin() + index);
        item = nullptr;
        return true;
    }

    // Replaces the content with copies of the other list's items, in order (empty entries stay empty).
    virtual void CopyFrom(const OwningArray& other)
    {
        if (&other == this)
        {
            return;
        }
        RemoveAll();
        for (const auto& item : other.m_items)
        {
            Add(item ? new Item(*item) : nullptr);
        }
    }

    // Deletes entries from the end until `count` remain, but only when the list holds at least two entries.
    // Gives the final count.
    virtual int TrimTo(int count) noexcept { return GetCount() >= 2 ? TruncateTo(count) : GetCount(); }

    // Deletes entries from the end until `count` remain (a negative count empties the list). Gives the final
    // count.
    virtual int TruncateTo(int count) noexcept
    {
        const size_t keep = static_cast<size_t>(std::max(count, 0));
        if (keep < m_items.size())
        {
            m_items.resize(keep);
        }
        return GetCount();
    }

protected:
    [[nodiscard]] bool IsIndex(int index) const noexcept
    {
        return index >= 0 && static_cast<size_t>(index) < m_items.size();
    }
    [[nodiscard]] const std::vector<std::unique_ptr<Item>>& Items() const noexcept { return m_items; }

private:
    std::vector<std::unique_ptr<Item>> m_items;
};

}  // namespace net
