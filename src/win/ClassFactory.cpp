#include "win/ClassFactory.h"

#include <new>

namespace win
{

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    if (outer)
    {
        return CLASS_E_NOAGGREGATION;
    }
    return m_create(iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) noexcept
{
    if (lock)
    {
        ModuleLock();
    }
    else
    {
        ModuleUnlock();
    }
    return S_OK;
}

std::span<const InterfaceEntry> ClassFactory::InterfaceTable() const noexcept
{
    static const InterfaceEntry kTable[] = {InterfaceOf<IClassFactory, ClassFactory>(IID_IClassFactory)};
    return kTable;
}

HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID classId, REFIID iid, void** out) noexcept
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    for (const ClassEntry& entry : classes)
    {
        if (*entry.classId == classId)
        {
            auto* factory = new (std::nothrow) ClassFactory(entry.create);
            if (!factory)
            {
                return E_OUTOFMEMORY;
            }
            factory->InternalAddRef();
            const HRESULT hr = factory->InternalQueryInterface(iid, out);
            factory->InternalRelease();
            return hr;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace win
