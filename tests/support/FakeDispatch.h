#pragma once
// FakeDispatch: an IDispatch for tests. It counts references, records every Invoke (id, flags, arguments
// in call order, as text) and answers through a handler the test sets; without one every call fails with
// DISP_E_MEMBERNOTFOUND. Type information calls return E_NOTIMPL.

#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support
{

class FakeDispatch : public IDispatch
{
public:
    struct Call
    {
        DISPID id;
        WORD flags;
        std::vector<std::wstring> arguments;  // call order; non-text arguments as "<vt N>" or their number
    };
    // Answers one call: `arguments` in call order; write the result into `result` (may be null).
    using Handler = std::function<HRESULT(DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result)>;

    FakeDispatch() = default;
    virtual ~FakeDispatch() = default;

    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    [[nodiscard]] const std::vector<Call>& Calls() const noexcept { return m_calls; }
    [[nodiscard]] ULONG References() const noexcept { return m_references; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }  // the test owns the object

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
        VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

private:
    ULONG m_references = 1;
    Handler m_handler;
    std::vector<Call> m_calls;
};

// A text result for a handler.
HRESULT SetTextResult(VARIANT* result, const std::wstring& text);

} // namespace testing_support
