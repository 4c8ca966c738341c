#pragma once
// What the add-on and the Kel toolbar host rely on from each other: the calls on the host's dispatch object,
// the messages of the host's toolbar window, the fixed command ids of its layout, and the host's private
// unlock interface. Shared by the control framework and by KelHost.exe.

#include <unknwn.h>
#include <windows.h>

namespace host
{

// DISPATCH_METHOD calls on the host's dispatch object (the toolbar object handed to StartupToolbar).
constexpr DISPID kDispidGetString = 8;  // (BSTR key, BSTR default) -> BSTR: stored value or the default
constexpr DISPID kDispidExpandMacros = 14;  // (BSTR text) -> BSTR: {cbid} {dtid} {guid} {locale.underscore} {random}
constexpr DISPID kDispidToolbarWindow = 9;  // () -> VT_I4: the host's toolbar window handle

// Messages of the host's toolbar window.
constexpr UINT kMsgSetAttribute = 3036;  // 0x0BDC  wParam command id (0: lParam is a script), lParam LPCWSTR
constexpr UINT kMsgRelayout = 3055;  // 0x0BEF  from the host, wParam 1: the add-on answers with its layout
constexpr UINT kMsgLayout = 3034;  // 0x0BDA  layout request; passed to the host only as (0, 1)
constexpr UINT kMsgPreferences = 3028;  // 0x0BD4  wParam 1: the host's preferences changed

// Command ids fixed by the host's toolbar layout.
constexpr UINT kSpacerCommandId = 104;  // its width is set by the add-on
constexpr UINT kHiddenCommandId = 105;  // hidden by the add-on

// The add-on's overlay buttons, child windows of the toolbar over the host's items they draw. Each tells what
// it shows: its window text is the title, its tooltip control (owned by it) the tooltip, and three window
// properties the command id of the item it covers, the resource id of the icon drawn now and whether it takes
// clicks (1 or 0). The window itself stays enabled, so that the tooltip of a button that takes no clicks shows.
constexpr wchar_t kOverlayClassName[] = L"Kel::XToolbarButtonControl";
constexpr wchar_t kOverlayCommandProperty[] = L"Kel.CommandId";
constexpr wchar_t kOverlayIconProperty[] = L"Kel.IconId";
constexpr wchar_t kOverlayEnabledProperty[] = L"Kel.Enabled";

// The toolbar event that the host delivers to OnEvent of every add-on control after the add-on fired it.
constexpr wchar_t kUpdateStatusEvent[] = L"UpdateStatus";

}  // namespace host

// The host's unlock interface: after creating a control the host calls EnableToolbarScripting, and only
// then does the control accept dispatch calls.
// {454E6D6B-C98A-43C3-8722-3E671A03FD5D}
MIDL_INTERFACE("454E6D6B-C98A-43C3-8722-3E671A03FD5D")
IToolbarSecurity : public IUnknown
{
public:
    virtual HRESULT STDMETHODCALLTYPE EnableToolbarScripting() = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IToolbarSecurity, 0x454E6D6B, 0xC98A, 0x43C3, 0x87, 0x22, 0x3E, 0x67, 0x1A, 0x03, 0xFD, 0x5D)
#endif
