#pragma once
// A test control over a test host: a real toolbar with the five add-on buttons, the spacer 104 and the hidden
// item 105, the stand-in host's browser and a fake host dispatch object.

#include "HostBrowser.h"
#include "TestToolbarControl.h"
#include "support/FakeHost.h"
#include "support/TestToolbarWindow.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ComPtr.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

namespace toolbar_tests
{

constexpr UINT kSearch = 201;
constexpr UINT kLogo = 202;
constexpr UINT kPavise = 203;
constexpr UINT kUpdate = 204;
constexpr UINT kOptions = 205;
constexpr long kCommandIds[5] = {kSearch, kLogo, kPavise, kUpdate, kOptions};
constexpr int kToolbarWidth = 600;

// Host order: status, logo, update, search, spacer, hidden item, options.
inline std::vector<testing_support::TestToolbarWindow::Button> HostButtons()
{
    return {{kPavise, 40}, {kLogo, 30}, {kUpdate, 44}, {kSearch, 50}, {host::kSpacerCommandId, 10},
        {host::kHiddenCommandId, 20}, {kOptions, 36}};
}

// A browser of the stand-in host, without a window.
inline win::ComPtr<kelhost::HostBrowser> NewBrowser()
{
    return win::ComPtr<kelhost::HostBrowser>::Attach(kelhost::HostBrowser::Create(nullptr, {}));
}

// References held on `object`, the test's own included.
inline ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// A control created as its class factory creates it, holding one reference.
struct ControlHolder
{
    win::ComPtr<IDispatch> object;
    TestToolbarControl* control = nullptr;

    ControlHolder();
    TestToolbarControl* operator->() const noexcept { return control; }
};

class ToolbarFixture : public ::testing::Test
{
protected:
    ToolbarFixture();
    ~ToolbarFixture() override;

    HRESULT Start(TestToolbarControl& target) { return target.StartupToolbar(browser.Get(), &host, kCommandIds); }

    win::ComInit com;
    testing_support::TestToolbarWindow toolbar{HostButtons(), kToolbarWidth};
    win::ComPtr<kelhost::HostBrowser> browser = NewBrowser();
    testing_support::FakeHost host{toolbar.Toolbar()};
    ControlHolder control;
};

// Invokes a method of a dispatch object with arguments given in declaration order.
HRESULT InvokeMethod(
    IDispatch* object, DISPID id, std::vector<VARIANT> arguments, VARIANT* result, UINT* badArgument = nullptr);
VARIANT DispatchArgument(IDispatch* object);  // without a reference of its own
VARIANT LongArgument(long value);

}  // namespace toolbar_tests
