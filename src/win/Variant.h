#pragma once
// Variant: owns one VARIANT and clears it. Put clears and gives the address for an out-parameter. ExcepInfo:
// owns the texts of an EXCEPINFO.

#include <windows.h>

#include <oleauto.h>

#include <string_view>

namespace win
{

class Variant
{
public:
    Variant() noexcept { ::VariantInit(&m_value); }
    explicit Variant(long value) noexcept
    {
        ::VariantInit(&m_value);
        m_value.vt = VT_I4;
        m_value.lVal = value;
    }
    // A BSTR variant; on allocation failure the variant stays empty (VT_EMPTY).
    explicit Variant(std::wstring_view text) noexcept
    {
        ::VariantInit(&m_value);
        if (BSTR b = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
        {
            m_value.vt = VT_BSTR;
            m_value.bstrVal = b;
        }
    }
    // A VT_DISPATCH variant holding its own reference.
    explicit Variant(IDispatch* dispatch) noexcept
    {
        ::VariantInit(&m_value);
        m_value.vt = VT_DISPATCH;
        m_value.pdispVal = dispatch;
        if (dispatch)
        {
            dispatch->AddRef();
        }
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&m_value); }

    void Clear() noexcept { ::VariantClear(&m_value); }
    [[nodiscard]] VARIANT* Put() noexcept
    {
        ::VariantClear(&m_value);
        return &m_value;
    }
    [[nodiscard]] VARIANT* Get() noexcept { return &m_value; }
    [[nodiscard]] const VARIANT* Get() const noexcept { return &m_value; }
    [[nodiscard]] VARTYPE Type() const noexcept { return m_value.vt; }
    // Moves the value out to a caller who will clear it.
    void Detach(VARIANT* out) noexcept
    {
        *out = m_value;
        ::VariantInit(&m_value);
    }

private:
    VARIANT m_value;
};

// ExcepInfo: the exception information an IDispatch::Invoke may fill, owning the three texts it allocates.
class ExcepInfo
{
public:
    ExcepInfo() noexcept = default;
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { Clear(); }

    // Frees what an earlier call left and gives the structure, cleared, for the next one.
    [[nodiscard]] EXCEPINFO* Put() noexcept
    {
        Clear();
        return &m_value;
    }
    [[nodiscard]] const EXCEPINFO& Get() const noexcept { return m_value; }

private:
    void Clear() noexcept
    {
        ::SysFreeString(m_value.bstrSource);
        ::SysFreeString(m_value.bstrDescription);
        ::SysFreeString(m_value.bstrHelpFile);
        m_value = EXCEPINFO{};
    }

    EXCEPINFO m_value{};
};

}  // namespace win
