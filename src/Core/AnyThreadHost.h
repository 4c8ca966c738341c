#pragma once
// AnyThreadHost: the host's text services for every thread of the control. The host's dispatch object lives
// in the UI thread's apartment; the polling worker must not call it directly. On the UI thread the calls go
// to the control as usual; on any other thread they go through a proxy of the host object that COM
// marshals to the UI thread (the object is registered in the process's global interface table while the
// control is started). A thread that uses it must have initialised COM. Without a registered host object,
// calls from other threads give "", as calls without a host do.

#include "platform/HostStrings.h"
#include "win/ComPtr.h"

#include <objidl.h>
#include <oaidl.h>

#include <atomic>

class AnyThreadHost final : public HostStrings
{
public:
    // NOTE: keeps a reference to `uiSide`, the control, which must outlive this object.
    explicit AnyThreadHost(HostStrings& uiSide) noexcept : m_uiSide(uiSide) {}
    AnyThreadHost(const AnyThreadHost&) = delete;
    AnyThreadHost& operator=(const AnyThreadHost&) = delete;
    ~AnyThreadHost() override { Withdraw(); }

    // UI thread: makes `host` reachable from other threads; the calling thread becomes the UI thread.
    [[nodiscard]] HRESULT Publish(IDispatch* host) noexcept;
    // UI thread: ends that; later calls from other threads give "".
    void Withdraw() noexcept;

    [[nodiscard]] std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override;
    [[nodiscard]] std::wstring ExpandHostMacros(const std::wstring& text) override;

private:
    [[nodiscard]] bool OnUiThread() const noexcept;
    [[nodiscard]] win::ComPtr<IDispatch> HostProxy() const noexcept;

    HostStrings& m_uiSide;
    win::ComPtr<IGlobalInterfaceTable> m_table;
    std::atomic<DWORD> m_cookie{0};
    std::atomic<DWORD> m_uiThread{0};
};
