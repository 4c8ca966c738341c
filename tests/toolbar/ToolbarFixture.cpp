#include "ToolbarFixture.h"

#include "support/Wait.h"
#include "win/ComModule.h"
#include "win/Strings.h"

#include <algorithm>

namespace toolbar_tests
{

void AnswerAsHost(testing_support::FakeDispatch& host, HWND toolbar)
{
    host.SetHandler([toolbar](DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result) -> HRESULT {
        switch (id)
        {
        case host::kDispidGetString:
            if (arguments.size() != 2)
            {
                return DISP_E_BADPARAMCOUNT;
            }
            return testing_support::SetTextResult(result,
                std::wstring(arguments[0]->bstrVal) == L"KelTb.Url.Home" ? L"http://127.0.0.1/home"
                                                                         : arguments[1]->bstrVal);
        case host::kDispidExpandMacros:
            return testing_support::SetTextResult(result, std::wstring(arguments.at(0)->bstrVal) + L"|expanded");
        case host::kDispidToolbarWindow:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(toolbar));
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
        }
    });
}

ControlHolder::ControlHolder()
{
    EXPECT_EQ(S_OK, CreateTestToolbarControl(IID_IDispatch, object.PutVoid()));
    control = static_cast<TestToolbarControl*>(object.Get());
}

ToolbarFixture::ToolbarFixture()
{
    toolbar::XToolbarController::ResetPostStartUpForTesting();
    AnswerAsHost(host, toolbar.Toolbar());
}

ToolbarFixture::~ToolbarFixture()
{
    control.object.Reset();
    testing_support::PumpFor(0);
    // Nothing of the control (its parts, enumerators, connection points) holds the module once it has gone.
    EXPECT_EQ(S_OK, win::ModuleCanUnloadNow());
}

HRESULT InvokeMethod(IDispatch* object, DISPID id, std::vector<VARIANT> arguments, VARIANT* result, UINT* badArgument)
{
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, badArgument);
}

VARIANT DispatchArgument(IDispatch* object)
{
    VARIANT value{};
    value.vt = VT_DISPATCH;
    value.pdispVal = object;
    return value;
}

VARIANT LongArgument(long value)
{
    VARIANT argument{};
    argument.vt = VT_I4;
    argument.lVal = value;
    return argument;
}

}  // namespace toolbar_tests
