#pragma once
// HostToolbar: the add-on's hold on the host toolbar's dispatch object, offering the host's three calls as
// plain operations: a text looked up by key with a default, the host's brace macros expanded, and the
// handle of the host's toolbar window.
//
// Like the framework's dispatch driver it stands for, it is attached with or without auto-release: without
// it (what the toolbar control does) the wrapper neither adds nor drops a reference, and the host keeps the
// object alive for as long as its toolbar exists. Without an attached object every call is skipped and gives
// "" (or a null window). Calls run on the thread that attached the object (the control's UI thread).

#include "win/ComPtr.h"

#include <oaidl.h>

#include <string>

namespace toolbar
{

class HostToolbar
{
public:
    HostToolbar() noexcept = default;
    HostToolbar(const HostToolbar&) = delete;
    HostToolbar& operator=(const HostToolbar&) = delete;
    ~HostToolbar() { Release(); }

    enum class AutoRelease
    {
        Off,  // only the pointer is kept
        On,  // the wrapper takes a reference of its own and drops it in Release
    };
    // Attaches `dispatch` (a previous object is released first).
    void Attach(IDispatch* dispatch, AutoRelease autoRelease) noexcept;
    // Forgets the object, dropping the wrapper's reference if it took one.
    void Release() noexcept;
    [[nodiscard]] IDispatch* Get() const noexcept { return m_dispatch; }
    [[nodiscard]] bool IsAttached() const noexcept { return m_dispatch != nullptr; }

    // DISPID 8: the host's value for `key`, or `defaultValue` when it stores none. "" without an object or
    // when the call fails.
    [[nodiscard]] std::wstring GetString(const std::wstring& key, const std::wstring& defaultValue) const;
    // DISPID 14: `text` with the host's macros replaced. "" without an object or when the call fails.
    [[nodiscard]] std::wstring ExpandMacros(const std::wstring& text) const;
    // DISPID 9: the host's toolbar window; null without an object or when the call fails.
    [[nodiscard]] HWND GetToolbarWindow() const noexcept;

    // The call itself, for callers that want the result code: DISPATCH_METHOD with the given BSTR
    // arguments (in call order) and a result converted to text.
    [[nodiscard]] HRESULT InvokeText(
        DISPID id, const std::wstring* arguments, unsigned count, std::wstring& result) const;

private:
    IDispatch* m_dispatch = nullptr;
    win::ComPtr<IDispatch> m_reference;  // the wrapper's own reference, with auto-release only
};

}  // namespace toolbar
