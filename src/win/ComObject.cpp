#include "win/ComObject.h"

namespace win
{

ULONG ComObject::InternalRelease() noexcept
{
    const ULONG left = --m_references;
    if (left == 0)
    {
        m_references = 1;  // keeps a reference taken and dropped during the final release from deleting again
        OnFinalRelease();
        delete this;
    }
    return left;
}

HRESULT ComObject::InternalQueryInterface(REFIID iid, void** out) noexcept
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    const std::span<const InterfaceEntry> table = InterfaceTable();
    if (table.empty())
    {
        return E_NOINTERFACE;
    }
    const InterfaceEntry* found = nullptr;
    if (iid == IID_IUnknown)
    {
        found = &table.front();
    }
    else
    {
        for (const InterfaceEntry& entry : table)
        {
            if (*entry.iid == iid)
            {
                found = &entry;
                break;
            }
        }
    }
    if (!found)
    {
        return E_NOINTERFACE;
    }
    IUnknown* part = found->get(this);
    part->AddRef();
    *out = part;
    return S_OK;
}

}  // namespace win
