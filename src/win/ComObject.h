#pragma once
// ComObject: the reference count and the QueryInterface of a COM object made of several interfaces.
// A derived class implements its interfaces by inheritance (or by nested parts that forward to it) and
// lists them in a table of InterfaceEntry rows; QueryInterface walks the table. IUnknown answers with the
// first row, so the object has one identity.
//
// The object starts with no reference: its creator queries it for the first interface. When the count
// falls to 0, OnFinalRelease runs with the count held at 1 (so a QueryInterface/Release pair inside it
// cannot delete the object twice) and then the object is deleted. Each live object holds the module lock.
// Reference counting is thread-safe; everything else is up to the derived class.

#include "win/ComModule.h"

#include <unknwn.h>

#include <atomic>
#include <span>

namespace win
{

class ComObject;

struct InterfaceEntry
{
    const IID* iid;
    IUnknown* (*get)(ComObject* object) noexcept;  // the interface's pointer within the object
};

// The table row for interface I that class C implements through inheritance.
template <typename I, typename C>
[[nodiscard]] constexpr InterfaceEntry InterfaceOf(const IID& iid) noexcept
{
    return {&iid, [](ComObject* object) noexcept -> IUnknown* { return static_cast<I*>(static_cast<C*>(object)); }};
}

class ComObject
{
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    ULONG InternalAddRef() noexcept { return ++m_references; }
    ULONG InternalRelease() noexcept;
    // Finds `iid` in the table, hands out an added reference; E_NOINTERFACE (and null) otherwise.
    HRESULT InternalQueryInterface(REFIID iid, void** out) noexcept;

    [[nodiscard]] ULONG References() const noexcept { return m_references.load(); }

protected:
    ComObject() noexcept { ModuleLock(); }
    virtual ~ComObject() { ModuleUnlock(); }

    // The interfaces of the object; the first row answers for IUnknown.
    [[nodiscard]] virtual std::span<const InterfaceEntry> InterfaceTable() const noexcept = 0;
    // Runs once when the last reference goes, before the object is deleted.
    virtual void OnFinalRelease() noexcept {}

private:
    std::atomic<ULONG> m_references{0};
};

}  // namespace win

// Implements the three IUnknown methods of a class derived from win::ComObject (put in its public part).
#define WIN_COM_IUNKNOWN                                                                                               \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override                                 \
    {                                                                                                                  \
        return InternalQueryInterface(iid, out);                                                                       \
    }                                                                                                                  \
    ULONG STDMETHODCALLTYPE AddRef() noexcept override                                                                 \
    {                                                                                                                  \
        return InternalAddRef();                                                                                       \
    }                                                                                                                  \
    ULONG STDMETHODCALLTYPE Release() noexcept override                                                                \
    {                                                                                                                  \
        return InternalRelease();                                                                                      \
    }
