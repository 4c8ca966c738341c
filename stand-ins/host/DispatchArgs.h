#pragma once
// Reading the arguments of an IDispatch::Invoke the way automation servers do: positional only, in
// reverse order in rgvarg, by value or by reference, coerced to the wanted type where OLE Automation can.

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace kelhost
{

// Checks the common shape of a call: DISPATCH_METHOD among the flags, no named arguments, exactly `count`
// arguments. DISP_E_MEMBERNOTFOUND, DISP_E_NONAMEDARGS or DISP_E_BADPARAMCOUNT otherwise.
[[nodiscard]] HRESULT CheckMethodCall(WORD flags, const DISPPARAMS* params, UINT count) noexcept;

// The argument at `position` (0 = first in the call) as text. DISP_E_TYPEMISMATCH with *argErr set to its
// index in rgvarg when it cannot be turned into text (VT_NULL, an object, an array).
[[nodiscard]] HRESULT GetTextArgument(const DISPPARAMS& params, UINT position, std::wstring& value, UINT* argErr);

}  // namespace kelhost
