#include "support/FakeHost.h"

#include "toolbar/HostToolbarInterface.h"

namespace testing_support
{

FakeHost::FakeHost(HWND toolbarWindow) : toolbar(toolbarWindow)
{
    SetHandler([this](DISPID id, const std::vector<VARIANT*>& arguments, VARIANT* result) -> HRESULT {
        switch (id)
        {
        case host::kDispidGetString:
        {
            if (arguments.size() != 2)
            {
                return DISP_E_BADPARAMCOUNT;
            }
            const std::wstring key = arguments[0]->bstrVal;
            if (onRead)
            {
                onRead(key);
            }
            const auto found = settings.find(key);
            return SetTextResult(result, found != settings.end() ? found->second : arguments[1]->bstrVal);
        }
        case host::kDispidExpandMacros: return SetTextResult(result, arguments.at(0)->bstrVal);
        case host::kDispidToolbarWindow:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(toolbar));
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
        }
    });
}

}  // namespace testing_support
