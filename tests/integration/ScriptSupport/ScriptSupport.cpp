#include "ScriptSupport.h"

#include "support/FakeBrowser.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/Bstr.h"
#include "win/ClassFactory.h"
#include "win/ComPtr.h"
#include "win/Strings.h"

#include <oleauto.h>

#include <atomic>
#include <map>
#include <memory>
#include <span>
#include <string>

namespace
{

using Settings = std::map<std::wstring, std::wstring>;

// The argument at `index` in call order (DISPPARAMS holds them last first), without references.
HRESULT Argument(const DISPPARAMS* params, UINT index, VARTYPE type, VARIANT& out) noexcept
{
    ::VariantInit(&out);
    if (!params || index >= params->cArgs)
    {
        return DISP_E_BADPARAMCOUNT;
    }
    VARIANT direct;
    ::VariantInit(&direct);
    HRESULT hr = ::VariantCopyInd(&direct, &params->rgvarg[params->cArgs - 1 - index]);
    if (SUCCEEDED(hr))
    {
        hr = ::VariantChangeType(&out, &direct, 0, type);
    }
    ::VariantClear(&direct);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT TextArgument(const DISPPARAMS* params, UINT index, std::wstring& text) noexcept
{
    VARIANT value;
    const HRESULT hr = Argument(params, index, VT_BSTR, value);
    if (SUCCEEDED(hr))
    {
        text.assign(value.bstrVal ? value.bstrVal : L"", ::SysStringLen(value.bstrVal));
        ::VariantClear(&value);
    }
    return hr;
}

HRESULT TextResult(VARIANT* result, std::wstring_view text) noexcept
{
    if (result)
    {
        result->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!result->bstrVal)
        {
            return E_OUTOFMEMORY;
        }
        result->vt = VT_BSTR;
    }
    return S_OK;
}

void LongResult(VARIANT* result, long value) noexcept
{
    if (result)
    {
        result->vt = VT_I4;
        result->lVal = value;
    }
}

void DispatchResult(VARIANT* result, IDispatch* dispatch) noexcept
{
    if (result)
    {
        result->vt = VT_DISPATCH;
        result->pdispVal = dispatch;
        dispatch->AddRef();
    }
}

// An IDispatch without type information: names come from a table, calls go to Call.
class DispatchObject : public win::ComObject, public IDispatch
{
public:
    WIN_COM_IUNKNOWN

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override
    {
        if (!count)
        {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override
    {
        if (!names || !ids || count == 0)
        {
            return E_POINTER;
        }
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
        {
            ids[i] = DISPID_UNKNOWN;
        }
        for (const auto& [name, id] : Names())
        {
            if (names[0] && ::_wcsicmp(names[0], name) == 0)
            {
                ids[0] = id;
            }
        }
        if (ids[0] == DISPID_UNKNOWN || count > 1)
        {
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO*, UINT*) noexcept override
    {
        if (result)
        {
            ::VariantInit(result);
        }
        try
        {
            return Call(id, params, result);
        }
        catch (...)
        {
            return E_OUTOFMEMORY;
        }
    }

protected:
    using NameTable = std::span<const std::pair<const wchar_t*, DISPID>>;
    [[nodiscard]] virtual NameTable Names() const noexcept { return {}; }
    virtual HRESULT Call(DISPID id, DISPPARAMS* params, VARIANT* result) = 0;

    std::span<const win::InterfaceEntry> InterfaceTable() const noexcept override
    {
        static const win::InterfaceEntry entries[] = {
            win::InterfaceOf<IDispatch, DispatchObject>(IID_IUnknown),
            win::InterfaceOf<IDispatch, DispatchObject>(IID_IDispatch),
        };
        return entries;
    }
};

// The host's toolbar object as the add-on calls it: by DISPID, from its UI thread or (marshalled) its worker.
class HostObject final : public DispatchObject
{
public:
    explicit HostObject(std::shared_ptr<Settings> settings) : m_settings(std::move(settings)) {}

protected:
    HRESULT Call(DISPID id, DISPPARAMS* params, VARIANT* result) override
    {
        switch (id)
        {
        case host::kDispidGetString:
        {
            std::wstring key;
            std::wstring defaultValue;
            HRESULT hr = TextArgument(params, 0, key);
            if (SUCCEEDED(hr))
            {
                hr = TextArgument(params, 1, defaultValue);
            }
            if (FAILED(hr))
            {
                return hr;
            }
            const auto found = m_settings->find(key);
            return TextResult(result, found != m_settings->end() ? found->second : defaultValue);
        }
        case host::kDispidExpandMacros:
        {
            std::wstring text;
            const HRESULT hr = TextArgument(params, 0, text);
            return FAILED(hr) ? hr : TextResult(result, text);
        }
        case host::kDispidToolbarWindow:
            LongResult(result, 0);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::shared_ptr<Settings> m_settings;
};

// The recording browser, owned by its references.
class CountedBrowser final : public testing_support::FakeBrowser
{
public:
    CountedBrowser() noexcept { win::ModuleLock(); }
    ~CountedBrowser() override { win::ModuleUnlock(); }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_count; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG count = --m_count;
        if (count == 0)
        {
            delete this;
        }
        return count;
    }

private:
    std::atomic<ULONG> m_count{1};
};

// A line of standard input (a pipe from the test), read as it arrives while the thread's messages flow.
std::wstring ReadInputLine(DWORD timeoutMs)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    std::string line;
    for (;;)
    {
        DWORD available = 0;
        if (!::PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr))
        {
            return win::AnsiToWide(line, CP_UTF8);  // the writer has gone
        }
        while (available > 0)
        {
            char c = 0;
            DWORD read = 0;
            if (!::ReadFile(input, &c, 1, &read, nullptr) || read == 0)
            {
                return win::AnsiToWide(line, CP_UTF8);
            }
            --available;
            if (c == '\n')
            {
                return win::AnsiToWide(line, CP_UTF8);
            }
            if (c != '\r')
            {
                line += c;
            }
        }
        if (::GetTickCount64() >= deadline)
        {
            return L"";
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

class ScriptSupport final : public DispatchObject
{
public:
    ScriptSupport() : m_settings(std::make_shared<Settings>()) {}

protected:
    enum : DISPID
    {
        kSetSetting = 1,
        kUnlock,
        kBrowser,
        kHost,
        kReadLine,
    };

    NameTable Names() const noexcept override
    {
        static const std::pair<const wchar_t*, DISPID> names[] = {{L"SetSetting", kSetSetting},
            {L"Unlock", kUnlock}, {L"Browser", kBrowser}, {L"Host", kHost},
            {L"ReadLine", kReadLine}};
        return names;
    }

    HRESULT Call(DISPID id, DISPPARAMS* params, VARIANT* result) override
    {
        switch (id)
        {
        case kSetSetting:
        {
            std::wstring key;
            std::wstring value;
            HRESULT hr = TextArgument(params, 0, key);
            if (SUCCEEDED(hr))
            {
                hr = TextArgument(params, 1, value);
            }
            if (SUCCEEDED(hr))
            {
                (*m_settings)[key] = value;
            }
            return hr;
        }
        case kUnlock:
        {
            VARIANT control;
            HRESULT hr = Argument(params, 0, VT_UNKNOWN, control);
            if (FAILED(hr))
            {
                return hr;
            }
            win::ComPtr<IToolbarSecurity> security;
            hr = control.punkVal ? control.punkVal->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid())
                                 : E_POINTER;
            ::VariantClear(&control);
            if (SUCCEEDED(hr))
            {
                hr = security->EnableToolbarScripting();
            }
            LongResult(result, hr);
            return S_OK;
        }
        case kBrowser:
            if (!m_browser)
            {
                m_browser = win::ComPtr<CountedBrowser>::Attach(new CountedBrowser());
            }
            DispatchResult(result, m_browser.Get());
            return S_OK;
        case kHost:
            if (!m_host)
            {
                auto* object = new HostObject(m_settings);
                object->InternalAddRef();
                const HRESULT hr = object->InternalQueryInterface(IID_IDispatch, m_host.PutVoid());
                object->InternalRelease();
                if (FAILED(hr))
                {
                    return hr;
                }
            }
            DispatchResult(result, m_host.Get());
            return S_OK;
        case kReadLine:
        {
            VARIANT timeout;
            const HRESULT hr = Argument(params, 0, VT_I4, timeout);
            return FAILED(hr) ? hr : TextResult(result, ReadInputLine(static_cast<DWORD>(timeout.lVal)));
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::shared_ptr<Settings> m_settings;
    win::ComPtr<CountedBrowser> m_browser;
    win::ComPtr<IDispatch> m_host;
};

const win::ClassEntry kClasses[] = {{&CLSID_NorvixScriptSupport, &win::CreateComObject<ScriptSupport>}};

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    return win::GetClassObject(kClasses, classId, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return win::ModuleCanUnloadNow();
}
