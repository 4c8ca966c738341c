#pragma once
// Bstr: owns one BSTR. Construction from text allocates; Put frees and gives the address for a COM
// out-parameter; Release hands the string to a caller who will free it. Allocation failure leaves the
// object empty and IsValid false, so callers can return E_OUTOFMEMORY.

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace win
{

class Bstr
{
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) noexcept
        : m_value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_value(std::exchange(other.m_value, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other)
        {
            Reset(std::exchange(other.m_value, nullptr));
        }
        return *this;
    }
    ~Bstr() { Reset(); }

    static Bstr Attach(BSTR value) noexcept
    {
        Bstr result;
        result.m_value = value;
        return result;
    }

    void Reset(BSTR value = nullptr) noexcept
    {
        if (m_value)
        {
            ::SysFreeString(m_value);
        }
        m_value = value;
    }
    [[nodiscard]] BSTR Release() noexcept { return std::exchange(m_value, nullptr); }
    [[nodiscard]] BSTR* Put() noexcept
    {
        Reset();
        return &m_value;
    }

    [[nodiscard]] BSTR Get() const noexcept { return m_value; }
    [[nodiscard]] bool IsValid() const noexcept { return m_value != nullptr; }
    [[nodiscard]] UINT Length() const noexcept { return ::SysStringLen(m_value); }
    // A null BSTR is the empty text by COM's rules.
    [[nodiscard]] std::wstring_view View() const noexcept { return {m_value ? m_value : L"", Length()}; }
    [[nodiscard]] std::wstring Str() const { return std::wstring(View()); }

private:
    BSTR m_value = nullptr;
};

}  // namespace win
