#pragma once
// HostDispatch: the host's own dispatch object, handed to the add-on with StartupToolbar. It answers three
// DISPATCH_METHOD calls: 8 (key, default) -> the stored setting or the default; 14 (text) -> the text with
// the host's brace macros expanded; 9 () -> the tab's toolbar window as VT_I4. It has no type information
// and no names: callers use the DISPIDs. Bad calls end in the DISP_E_* results an automation server gives.
// Reference counted; created per tab by the UI thread, which is the only thread that calls it (the add-on
// lives in the same apartment).

#include "HostSettings.h"
#include "MacroExpander.h"

#include <oaidl.h>

#include <atomic>
#include <functional>
#include <memory>

namespace kelhost
{

class HostDispatch final : public IDispatch
{
public:
    // Returns the object with one reference for the caller.
    [[nodiscard]] static HostDispatch* Create(
        std::shared_ptr<const HostSettings> settings, std::shared_ptr<const MacroValues> macros, HWND toolbar);

    // Cuts the link to the tab's window when the tab closes; call 9 then answers 0, and the hook is dropped.
    void Detach() noexcept
    {
        m_toolbar = nullptr;
        m_onLookup = nullptr;
    }
    // Told of every key that call 8 looks up, before the answer goes back: the host may act on the control there.
    void SetLookupHook(std::function<void(const std::wstring& key)> hook) { m_onLookup = std::move(hook); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
        VARIANT* result, EXCEPINFO* exception, UINT* argErr) noexcept override;

private:
    HostDispatch(
        std::shared_ptr<const HostSettings> settings, std::shared_ptr<const MacroValues> macros, HWND toolbar) noexcept;
    ~HostDispatch() = default;

    HRESULT InvokeChecked(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr);

    std::atomic<ULONG> m_references{1};
    std::shared_ptr<const HostSettings> m_settings;
    std::shared_ptr<const MacroValues> m_macros;
    HWND m_toolbar;
    std::function<void(const std::wstring& key)> m_onLookup;
};

}  // namespace kelhost
