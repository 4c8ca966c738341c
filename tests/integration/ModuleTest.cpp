// The module as a COM server in this process: what registration writes in each branch, and what the control
// answers on its scripted interface before and after the host's unlock.

#include "NorvixSystem.h"

#include "Core/NorvixIds.h"
#include "support/FakeDispatch.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/Bstr.h"
#include "win/ComPtr.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <olectl.h>

namespace integration
{
namespace
{

using ModuleTest = NorvixSystemTest;

const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{595EF3BD-A186-454A-810C-02015139ACDC}";

std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    std::wstring value;
    const auto key = win::OpenRegKey(root, path);
    return key && win::ReadRegString(key.Get(), name, value) ? value : L"<missing>";
}

template <typename F>
F Export(const char* name)
{
    return win::GetProc<F>(::GetModuleHandleW(WindowsPath(NORVIX_DLL).c_str()), name);
}

void ExpectControlKeys(HKEY root)
{
    const std::wstring cls = kClassKey;
    EXPECT_EQ(L"Norvix Addon", Value(root, cls));
    EXPECT_TRUE(win::EqualsNoCase(WindowsPath(NORVIX_DLL), Value(root, cls + L"\\InprocServer32")));
    EXPECT_EQ(L"Apartment", Value(root, cls + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(L"Kel.Norvix", Value(root, cls + L"\\ProgID"));
    EXPECT_EQ(L"132497", Value(root, cls + L"\\MiscStatus\\1"));
    EXPECT_EQ(L"{006AD7B2-968A-11DE-88C9-5BDE55D89593}", Value(root, cls + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", Value(root, cls + L"\\Version"));
    EXPECT_TRUE(win::OpenRegKey(root, cls + L"\\Control"));
    EXPECT_EQ(L"{595EF3BD-A186-454A-810C-02015139ACDC}", Value(root, L"Software\\Classes\\Kel.Norvix\\CLSID"));
}

TEST_F(ModuleTest, RegistrationWritesTheControlInTheMachineBranchOrTheUsersAsChosen)
{
    // The suite registered the module in the machine branch.
    ExpectControlKeys(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(win::OpenRegKey(HKEY_LOCAL_MACHINE,
        L"Software\\Classes\\TypeLib\\{006AD7B2-968A-11DE-88C9-5BDE55D89593}\\1.0"));
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, kClassKey));

    using SetPerUser = HRESULT(STDAPICALLTYPE*)(BOOL);
    using Register = HRESULT(STDAPICALLTYPE*)();
    using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    const auto setPerUser = Export<SetPerUser>("DllSetPerUserRegistration");
    const auto registerServer = Export<Register>("DllRegisterServer");
    const auto unregisterServer = Export<Register>("DllUnregisterServer");
    const auto install = Export<Install>("DllInstall");
    ASSERT_TRUE(setPerUser && registerServer && unregisterServer && install);

    ASSERT_EQ(S_OK, setPerUser(TRUE));
    EXPECT_EQ(S_OK, registerServer());
    ExpectControlKeys(HKEY_CURRENT_USER);
    EXPECT_EQ(S_OK, unregisterServer());
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, kClassKey));
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, L"Software\\Classes\\Kel.Norvix"));

    // "regsvr32 /n /i:user": the current user alone; without "user", the machine.
    EXPECT_EQ(S_OK, install(TRUE, L"user"));
    ExpectControlKeys(HKEY_CURRENT_USER);
    EXPECT_EQ(S_OK, install(FALSE, L" USER "));
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, kClassKey));
    EXPECT_EQ(S_OK, install(TRUE, nullptr));
    ExpectControlKeys(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, kClassKey));
    ASSERT_EQ(S_OK, setPerUser(FALSE));
}

class ControlInThisProcess : public ModuleTest
{
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_Norvix, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            m_control.PutVoid()));
    }
    void TearDown() override
    {
        m_control.Reset();
        ModuleTest::TearDown();
    }

    HRESULT CallOnEvent(VARIANT argument, long& result)
    {
        DISPPARAMS params{&argument, nullptr, 1, 0};
        VARIANT answer;
        ::VariantInit(&answer);
        const HRESULT hr = m_control->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, &answer, nullptr, nullptr);
        result = answer.vt == VT_I4 ? answer.lVal : 0x7FFFFFFF;
        ::VariantClear(&answer);
        return hr;
    }

    void Unlock()
    {
        win::ComPtr<IToolbarSecurity> security;
        ASSERT_EQ(S_OK, m_control.As(security));
        ASSERT_EQ(S_OK, security->EnableToolbarScripting());
    }

    win::ComPtr<IDispatch> m_control;
};

TEST_F(ControlInThisProcess, RefusesDispatchUntilTheHostUnlocksIt)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"StartupToolbar"), const_cast<LPOLESTR>(L"OnEvent")};
    DISPID ids[2] = {-7, -7};
    ASSERT_EQ(S_OK, m_control->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &ids[0]));
    ASSERT_EQ(S_OK, m_control->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &ids[1]));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(2, ids[1]);

    win::Bstr name(L"UpdateStatus");
    VARIANT argument;
    argument.vt = VT_BSTR;
    argument.bstrVal = name.Get();
    long result = 0;
    EXPECT_EQ(E_ACCESSDENIED, CallOnEvent(argument, result));
    Unlock();
    EXPECT_EQ(S_OK, CallOnEvent(argument, result));
    EXPECT_EQ(S_OK, result);
}

TEST_F(ControlInThisProcess, AnswersEventsByNameAndRefusesBadStarts)
{
    Unlock();
    struct Case
    {
        const wchar_t* what;
        const wchar_t* name;  // null: a null BSTR
        long expected;
    };
    const Case cases[] = {
        // Dispatch hands a missing (null) name on as an empty text.
        {L"null", nullptr, E_POINTER},
        {L"empty", L"", E_POINTER},
        {L"other case", L"updatestatus", S_OK},
        {L"other event", L"StatusUpdate", E_NOTIMPL},
        {L"prefix", L"UpdateStatus2", E_NOTIMPL},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(win::WideToAnsi(c.what, CP_UTF8));
        win::Bstr name;
        if (c.name)
        {
            name = win::Bstr(c.name);
        }
        VARIANT argument;
        argument.vt = VT_BSTR;
        argument.bstrVal = name.Get();
        long result = 0;
        EXPECT_EQ(S_OK, CallOnEvent(argument, result));
        EXPECT_EQ(c.expected, result);
    }

    // A browser that is not one, or none: E_POINTER, and nothing is attached (no dispatcher window).
    testing_support::FakeDispatch notABrowser;
    testing_support::FakeDispatch host;
    VARIANT args[7];
    for (int i = 0; i < 5; ++i)
    {
        args[i].vt = VT_I4;
        args[i].lVal = 101 + i;
    }
    args[5].vt = VT_DISPATCH;
    args[5].pdispVal = &host;
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = &notABrowser;  // arguments go last first: this is the browser
    DISPPARAMS params{args, nullptr, 7, 0};
    VARIANT answer;
    ::VariantInit(&answer);
    ASSERT_EQ(S_OK, m_control->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &answer, nullptr, nullptr));
    EXPECT_EQ(VT_I4, answer.vt);
    EXPECT_EQ(E_POINTER, answer.lVal);
    args[6].pdispVal = nullptr;
    ASSERT_EQ(S_OK, m_control->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &answer, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, answer.lVal);
    EXPECT_EQ(nullptr, ::FindWindowW(L"KelToolbarForNorvixDispatcherWindow", nullptr));
    EXPECT_TRUE(host.Calls().empty());
}

} // namespace
} // namespace integration
