// The host's dispatch object: the three calls the add-on makes and the results of calls made wrongly.

#include "HostDispatch.h"

#include "toolbar/HostToolbarInterface.h"
#include "win/Bstr.h"
#include "win/ComPtr.h"
#include "win/Strings.h"
#include "win/Variant.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

class HostDispatchTest : public ::testing::Test
{
protected:
    HostDispatchTest()
    {
        auto settings = std::make_shared<kelhost::HostSettings>();
        settings->Set(L"KelTb.Str.Norvix.Update", L"Update now");
        auto macros = std::make_shared<kelhost::MacroValues>();
        macros->cbid = L"CB7";
        m_dispatch = win::ComPtr<kelhost::HostDispatch>::Attach(
            kelhost::HostDispatch::Create(settings, macros, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234A))));
    }

    // Calls with the arguments in call order (they are reversed into rgvarg as COM wants).
    HRESULT Call(DISPID id, std::vector<VARIANT> args, VARIANT* result, UINT* argErr = nullptr,
        WORD flags = DISPATCH_METHOD, REFIID iid = IID_NULL)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return m_dispatch->Invoke(id, iid, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, argErr);
    }

    static VARIANT Text(const win::Variant& v) { return *v.Get(); }

    win::ComPtr<kelhost::HostDispatch> m_dispatch;
};

TEST_F(HostDispatchTest, AnswersTheThreeCalls)
{
    const win::Variant key(std::wstring_view(L"KelTb.Str.Norvix.Update"));
    const win::Variant unknownKey(std::wstring_view(L"KelTb.Str.Unknown"));
    const win::Variant fallback(std::wstring_view(L"Update Norvix"));
    const win::Variant text(std::wstring_view(L"cb={cbid}"));

    win::Variant result;
    ASSERT_EQ(S_OK, Call(host::kDispidGetString, {Text(key), Text(fallback)}, result.Put()));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"Update now", result.Get()->bstrVal);

    ASSERT_EQ(S_OK, Call(host::kDispidGetString, {Text(unknownKey), Text(fallback)}, result.Put()));
    EXPECT_STREQ(L"Update Norvix", result.Get()->bstrVal);

    ASSERT_EQ(S_OK, Call(host::kDispidExpandMacros, {Text(text)}, result.Put()));
    EXPECT_STREQ(L"cb=CB7", result.Get()->bstrVal);

    ASSERT_EQ(S_OK, Call(host::kDispidToolbarWindow, {}, result.Put()));
    ASSERT_EQ(VT_I4, result.Type());
    EXPECT_EQ(0x1234A, result.Get()->lVal);

    // No place for a result is no failure.
    EXPECT_EQ(S_OK, Call(host::kDispidExpandMacros, {Text(text)}, nullptr));

    m_dispatch->Detach();
    ASSERT_EQ(S_OK, Call(host::kDispidToolbarWindow, {}, result.Put()));
    EXPECT_EQ(0, result.Get()->lVal);
}

TEST_F(HostDispatchTest, ArgumentsByReferenceOrOfOtherTypesAreTakenAsText)
{
    win::Bstr key(L"KelTb.Str.Unknown");
    BSTR keyText = key.Get();
    VARIANT byRef;
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &keyText;
    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 45;
    VARIANT empty;
    empty.vt = VT_EMPTY;

    win::Variant result;
    EXPECT_EQ(S_OK, Call(host::kDispidGetString, {byRef, number}, result.Put()));
    EXPECT_STREQ(L"45", result.Get()->bstrVal);
    EXPECT_EQ(S_OK, Call(host::kDispidGetString, {byRef, empty}, result.Put()));
    EXPECT_EQ(0u, ::SysStringLen(result.Get()->bstrVal));
}

TEST_F(HostDispatchTest, WrongCallsGiveDispatchErrorsAndNoResult)
{
    const win::Variant text(std::wstring_view(L"x"));
    VARIANT null;
    null.vt = VT_NULL;
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = m_dispatch.Get();
    VARIANT nullReference;
    nullReference.vt = VT_BSTR | VT_BYREF;
    nullReference.pbstrVal = nullptr;
    VARIANT nullNumberReference;
    nullNumberReference.vt = VT_I4 | VT_BYREF;
    nullNumberReference.plVal = nullptr;

    struct Case
    {
        const char* what;
        DISPID id;
        std::vector<VARIANT> args;
        WORD flags;
        HRESULT expected;
        UINT argErr;  // 99: not written
    };
    const Case cases[] = {
        {"too few", host::kDispidGetString, {Text(text)}, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT, 99},
        {"too many", host::kDispidExpandMacros, {Text(text), Text(text)}, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT, 99},
        {"argument to 9", host::kDispidToolbarWindow, {Text(text)}, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT, 99},
        {"property get", host::kDispidExpandMacros, {Text(text)}, DISPATCH_PROPERTYGET, DISP_E_MEMBERNOTFOUND, 99},
        {"unknown member", 15, {}, DISPATCH_METHOD, DISP_E_MEMBERNOTFOUND, 99},
        {"null key", host::kDispidGetString, {null, Text(text)}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH, 1},
        {"object default", host::kDispidGetString, {Text(text), object}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH, 0},
        {"null text", host::kDispidExpandMacros, {null}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH, 0},
        {"reference to nothing", host::kDispidExpandMacros, {nullReference}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH, 0},
        {"number reference to nothing", host::kDispidGetString, {Text(text), nullNumberReference}, DISPATCH_METHOD,
            DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        VARIANT result;
        result.vt = VT_I4;
        result.lVal = 0x5E5E;
        UINT argErr = 99;
        EXPECT_EQ(c.expected, Call(c.id, c.args, &result, &argErr, c.flags));
        EXPECT_EQ(VT_EMPTY, result.vt);
        EXPECT_EQ(c.argErr, argErr);
    }

    VARIANT result;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
        Call(host::kDispidToolbarWindow, {}, &result, nullptr, DISPATCH_METHOD, IID_IDispatch));

    // Named arguments are not supported.
    VARIANT arg = Text(text);
    DISPID named = 0;
    DISPPARAMS params{&arg, &named, 1, 1};
    EXPECT_EQ(DISP_E_NONAMEDARGS, m_dispatch->Invoke(host::kDispidExpandMacros, IID_NULL, 0, DISPATCH_METHOD, &params,
                                      &result, nullptr, nullptr));
    // No parameter block at all is a call without arguments.
    EXPECT_EQ(S_OK, m_dispatch->Invoke(host::kDispidToolbarWindow, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result,
                        nullptr, nullptr));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, m_dispatch->Invoke(host::kDispidExpandMacros, IID_NULL, 0, DISPATCH_METHOD,
                                        nullptr, &result, nullptr, nullptr));

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetString")};
    DISPID id = 5;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, m_dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
}

} // namespace
