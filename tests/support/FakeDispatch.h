#pragma once
// FakeDispatch: an IDispatch for tests. It counts references and calls, and answers every Invoke through a
// handler the test sets; without one every call fails with DISP_E_MEMBERNOTFOUND. Type information and names
// are not offered. The test owns the object.

#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support
{

class FakeDispatch : public IDispatch
{
public:
    // Answers one call: `arguments` in call order; write the result into `result` (may be null).
    using Handler = std::function<HRESULT(DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result)>;

    FakeDispatch() = default;
    virtual ~FakeDispatch() = default;

    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    [[nodiscard]] size_t CallCount() const noexcept { return m_calls; }
    [[nodiscard]] ULONG References() const noexcept { return m_references; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }  // the test owns the object

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* badArgument) override;

private:
    ULONG m_references = 1;
    size_t m_calls = 0;
    Handler m_handler;
};

// A text result for a handler.
HRESULT SetTextResult(VARIANT* result, const std::wstring& text);

}  // namespace testing_support
