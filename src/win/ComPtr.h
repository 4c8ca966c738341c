#pragma once
// ComPtr: holds one reference to a COM object and releases it. Attach takes a reference the caller already
// owns; Copy-construction and assignment add one. Put clears the pointer and gives its address for an
// out-parameter.

#include <unknwn.h>

#include <utility>

namespace win
{

template <typename T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(T* p) noexcept : m_p(p)
    {
        if (m_p)
        {
            m_p->AddRef();
        }
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    // Copy and move assignment in one: `other` is already the copy (or the moved-from pointer), so assigning a
    // pointer to itself releases nothing early.
    ComPtr& operator=(ComPtr other) noexcept
    {
        other.Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p) noexcept
    {
        ComPtr(p).Swap(*this);
        return *this;
    }

    // Takes over a reference that the caller owns (no AddRef).
    static ComPtr Attach(T* p) noexcept
    {
        ComPtr result;
        result.m_p = p;
        return result;
    }

    void Reset() noexcept
    {
        if (T* p = std::exchange(m_p, nullptr))
        {
            p->Release();
        }
    }
    [[nodiscard]] T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    [[nodiscard]] T** Put() noexcept
    {
        Reset();
        return &m_p;
    }
    [[nodiscard]] void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    [[nodiscard]] T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Queries the held object for another interface.
    template <typename U>
    [[nodiscard]] HRESULT As(ComPtr<U>& out) const noexcept
    {
        if (!m_p)
        {
            out.Reset();
            return E_POINTER;
        }
        return m_p->QueryInterface(__uuidof(U), out.PutVoid());
    }
    [[nodiscard]] HRESULT As(REFIID iid, void** out) const noexcept
    {
        if (!out)
        {
            return E_POINTER;
        }
        *out = nullptr;
        return m_p ? m_p->QueryInterface(iid, out) : E_POINTER;
    }

    // Hands out a new reference, as a COM out-parameter expects.
    [[nodiscard]] HRESULT CopyTo(T** out) const noexcept
    {
        if (!out)
        {
            return E_POINTER;
        }
        *out = m_p;
        if (m_p)
        {
            m_p->AddRef();
        }
        return S_OK;
    }

    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

private:
    T* m_p = nullptr;
};

}  // namespace win
