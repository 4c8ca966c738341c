#pragma once
// ClassFactory: the class object of one creatable class, and the lookup DllGetClassObject makes over a
// table of the module's classes. The factory holds the module lock while it lives; LockServer adds to it.
// Aggregation is not supported.

#include "win/ComBoundary.h"
#include "win/ComObject.h"

#include <span>

namespace win
{

// Makes a new object and queries it for `iid` (the object must go away again when that fails).
using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

struct ClassEntry
{
    const CLSID* classId;
    CreateInstanceFunction create;
};

class ClassFactory final : public ComObject, public IClassFactory
{
public:
    explicit ClassFactory(CreateInstanceFunction create) noexcept : m_create(create) {}

    WIN_COM_IUNKNOWN

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

protected:
    std::span<const InterfaceEntry> InterfaceTable() const noexcept override;

private:
    CreateInstanceFunction m_create;
};

// DllGetClassObject over `classes`: CLASS_E_CLASSNOTAVAILABLE for a class not in the table.
[[nodiscard]] HRESULT GetClassObject(
    std::span<const ClassEntry> classes, REFCLSID classId, REFIID iid, void** out) noexcept;

// Creates an object of a ComObject-derived class T (constructed without arguments) and queries it.
template <typename T>
HRESULT CreateComObject(REFIID iid, void** out) noexcept
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    return ComBoundary([&] {
        T* object = new T();  // NOLINT(bugprone-unhandled-exception-at-new): ComBoundary catches it
        object->InternalAddRef();
        const HRESULT hr = object->InternalQueryInterface(iid, out);
        object->InternalRelease();
        return hr;
    });
}

}  // namespace win
