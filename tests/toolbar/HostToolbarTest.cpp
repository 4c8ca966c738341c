#include "toolbar/HostToolbar.h"

#include "support/FakeDispatch.h"
#include "toolbar/HostToolbarInterface.h"

#include <gtest/gtest.h>

namespace
{

using testing_support::FakeDispatch;
using testing_support::SetTextResult;

// A host that stores one setting, expands {guid} and reports a toolbar window.
HRESULT AnswerLikeAHost(DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result)
{
    switch (id)
    {
    case host::kDispidGetString:
        if (arguments.size() != 2)
        {
            return DISP_E_BADPARAMCOUNT;
        }
        return SetTextResult(result,
            std::wstring(arguments[0]->bstrVal) == L"KelTb.Str.Stored" ? L"stored" : arguments[1]->bstrVal);
    case host::kDispidExpandMacros:
        return SetTextResult(result, std::wstring(arguments.at(0)->bstrVal) + L"|expanded");
    case host::kDispidToolbarWindow:
        result->vt = VT_I4;
        result->lVal = 0x1234;
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

TEST(HostToolbarTest, CallsTheHostWithItsDispidsAndArgumentsInOrder)
{
    FakeDispatch host;
    host.SetHandler(AnswerLikeAHost);
    HostToolbar toolbar;
    toolbar.Attach(&host);

    EXPECT_EQ(L"stored", toolbar.GetString(L"KelTb.Str.Stored", L"default"));
    EXPECT_EQ(L"default", toolbar.GetString(L"KelTb.Str.Other", L"default"));
    EXPECT_EQ(L"a{guid}|expanded", toolbar.ExpandMacros(L"a{guid}"));
    EXPECT_EQ(reinterpret_cast<HWND>(0x1234), toolbar.GetToolbarWindow());

    const auto& calls = host.Calls();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ(8, calls[0].id);
    EXPECT_EQ(DISPATCH_METHOD, calls[0].flags);
    EXPECT_EQ((std::vector<std::wstring>{L"KelTb.Str.Stored", L"default"}), calls[0].arguments);
    EXPECT_EQ(14, calls[2].id);
    EXPECT_EQ(std::vector<std::wstring>{L"a{guid}"}, calls[2].arguments);
    EXPECT_EQ(9, calls[3].id);
    EXPECT_TRUE(calls[3].arguments.empty());
}

TEST(HostToolbarTest, WithoutObjectSkipsTheCallAndGivesEmptyResults)
{
    HostToolbar toolbar;
    EXPECT_EQ(L"", toolbar.GetString(L"KelTb.Str.Norvix.Update", L"Update Norvix"));
    EXPECT_EQ(L"", toolbar.ExpandMacros(L"{guid}"));
    EXPECT_EQ(nullptr, toolbar.GetToolbarWindow());

    FakeDispatch host;
    host.SetHandler(AnswerLikeAHost);
    toolbar.Attach(&host);
    toolbar.Release();
    EXPECT_EQ(L"", toolbar.GetString(L"KelTb.Str.Stored", L"x"));
    EXPECT_TRUE(host.Calls().empty());
}

TEST(HostToolbarTest, FailingOrNonTextAnswersGiveEmptyText)
{
    FakeDispatch host;
    HostToolbar toolbar;
    toolbar.Attach(&host);
    EXPECT_EQ(L"", toolbar.GetString(L"k", L"d"));  // DISP_E_MEMBERNOTFOUND
    EXPECT_EQ(nullptr, toolbar.GetToolbarWindow());

    host.SetHandler([](DISPID, const std::vector<VARIANT*>&, VARIANT* result) {
        result->vt = VT_I4;
        result->lVal = 42;
        return S_OK;
    });
    EXPECT_EQ(L"42", toolbar.GetString(L"k", L"d"));  // a number is given as its text

    host.SetHandler([](DISPID, const std::vector<VARIANT*>&, VARIANT* result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = nullptr;
        return S_OK;
    });
    EXPECT_EQ(L"", toolbar.GetString(L"k", L"d"));
}

TEST(HostToolbarTest, AttachWithoutAutoReleaseNeverTouchesTheReferenceCount)
{
    FakeDispatch host;
    {
        HostToolbar toolbar;
        toolbar.Attach(&host);
        EXPECT_EQ(1u, host.References());
        toolbar.Release();
        EXPECT_EQ(1u, host.References());
        toolbar.Attach(&host, true);
        EXPECT_EQ(2u, host.References());
        toolbar.Attach(nullptr);
        EXPECT_EQ(1u, host.References());
        toolbar.Attach(&host, true);
    }
    EXPECT_EQ(1u, host.References());
}

} // namespace
