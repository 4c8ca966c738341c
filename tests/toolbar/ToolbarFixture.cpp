#include "ToolbarFixture.h"

#include "support/Wait.h"
#include "win/ComModule.h"
#include "win/Strings.h"

#include <algorithm>

namespace toolbar_tests
{

ControlHolder::ControlHolder()
{
    EXPECT_EQ(S_OK, CreateTestToolbarControl(IID_IDispatch, object.PutVoid()));
    control = static_cast<TestToolbarControl*>(object.Get());
}

ToolbarFixture::ToolbarFixture()
{
    toolbar::XToolbarController::ResetPostStartUpForTesting();
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
