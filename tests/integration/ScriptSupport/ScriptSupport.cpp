// The script support object: what a script needs to host the add-on control as the toolbar host does. The
// browser and the host object are the stand-in host's own.

#include "ScriptSupport.h"

#include "HostBrowser.h"
#include "HostDispatch.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ClassFactory.h"
#include "win/ComPtr.h"
#include "win/Strings.h"

#include <oleauto.h>

#include <memory>
#include <string>

namespace
{

// The argument at `index` in call order (DISPPARAMS holds them last first), converted to `type`.
HRESULT Argument(const DISPPARAMS* params, UINT index, VARTYPE type, VARIANT& out) noexcept
{
    ::VariantInit(&out);
    if (!params || index >= params->cArgs)
    {
        return DISP_E_BADPARAMCOUNT;
    }
    const HRESULT hr = ::VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - index], 0, type);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

// A line of standard input (a pipe from the test), read as it arrives while the thread's messages flow, so calls
// marshalled to this thread are served; "" after the time-out.
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
        for (char c = 0; available > 0; --available)
        {
            DWORD read = 0;
            if (!::ReadFile(input, &c, 1, &read, nullptr) || read == 0 || c == '\n')
            {
                return win::AnsiToWide(line, CP_UTF8);
            }
            line += c == '\r' ? std::string() : std::string(1, c);
        }
        if (::GetTickCount64() >= deadline)
        {
            return L"";
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

// SetSetting(key, value), Unlock(control), Browser(), Host(), ReadLine(timeoutMs): see ScriptSupport.h. An
// IDispatch without type information; names come from a table.
class ScriptSupport final : public win::ComObject, public IDispatch
{
public:
    WIN_COM_IUNKNOWN

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override
    {
        return count ? (*count = 0, S_OK) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override
    {
        if (!names || !ids || count == 0)
        {
            return E_POINTER;
        }
        static const wchar_t* const kNames[] = {L"Unlock", L"Browser", L"Host", L"ReadLine"};
        ids[0] = DISPID_UNKNOWN;
        for (DISPID id = 0; id < 4; ++id)
        {
            if (names[0] && ::_wcsicmp(names[0], kNames[id]) == 0)
            {
                ids[0] = id + 1;
            }
        }
        return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(
        DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) noexcept override
    {
        VARIANT unwanted;
        VARIANT* const out = result ? result : &unwanted;
        ::VariantInit(out);
        HRESULT hr = E_OUTOFMEMORY;
        try
        {
            hr = Call(id, params, *out);
        }
        catch (...)
        {
        }
        if (!result)
        {
            ::VariantClear(&unwanted);
        }
        return hr;
    }

protected:
    std::span<const win::InterfaceEntry> InterfaceTable() const noexcept override
    {
        static const win::InterfaceEntry entries[] = {
            win::InterfaceOf<IDispatch, ScriptSupport>(IID_IUnknown),
            win::InterfaceOf<IDispatch, ScriptSupport>(IID_IDispatch),
        };
        return entries;
    }

private:
    HRESULT Call(DISPID id, DISPPARAMS* params, VARIANT& result)
    {
        VARIANT first;
        switch (id)
        {
        case 1:  // Unlock
        {
            HRESULT hr = Argument(params, 0, VT_UNKNOWN, first);
            win::ComPtr<IToolbarSecurity> security;
            if (SUCCEEDED(hr))
            {
                hr = first.punkVal ? first.punkVal->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid())
                                   : E_POINTER;
                ::VariantClear(&first);
                result.vt = VT_I4;
                result.lVal = SUCCEEDED(hr) ? security->EnableToolbarScripting() : hr;
            }
            return hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_TYPEMISMATCH ? hr : S_OK;
        }
        case 2:  // Browser
            if (!m_browser)
            {
                m_browser = win::ComPtr<IDispatch>::Attach(kelhost::HostBrowser::Create(nullptr, {}));
            }
            result.vt = VT_DISPATCH;
            return m_browser.CopyTo(&result.pdispVal);
        case 3:  // Host
            if (!m_host)
            {
                std::vector<std::wstring> problems;
                wchar_t path[MAX_PATH] = {};
                if (::GetEnvironmentVariableW(kScriptSettingsVariable, path, MAX_PATH))
                {
                    (void)m_settings->LoadFile(path, problems);
                }
                m_host = win::ComPtr<IDispatch>::Attach(
                    kelhost::HostDispatch::Create(m_settings, std::make_shared<kelhost::MacroValues>(), nullptr));
            }
            result.vt = VT_DISPATCH;
            return m_host.CopyTo(&result.pdispVal);
        case 4:  // ReadLine
        {
            const HRESULT hr = Argument(params, 0, VT_I4, first);
            if (SUCCEEDED(hr))
            {
                result.vt = VT_BSTR;
                result.bstrVal = ::SysAllocString(ReadInputLine(static_cast<DWORD>(first.lVal)).c_str());
            }
            return hr;
        }
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

    std::shared_ptr<kelhost::HostSettings> m_settings = std::make_shared<kelhost::HostSettings>();
    win::ComPtr<IDispatch> m_browser;
    win::ComPtr<IDispatch> m_host;
};

const win::ClassEntry kClasses[] = {{&CLSID_NorvixScriptSupport, &win::CreateComObject<ScriptSupport>}};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    return win::GetClassObject(kClasses, classId, iid, out);
}

// The browser and the host object are not counted among the module's objects and may outlive the support object
// in the control's hands: the module stays loaded for the script's life.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_FALSE;
}
