#pragma once
// Identities of the module's control: its class, type library, interfaces, ProgID and registered status.
// Defined once; the type library in res/Norvix.idl carries the same values.

#include <windows.h>

namespace core
{

// {595EF3BD-A186-454A-810C-02015139ACDC}
inline constexpr CLSID CLSID_Norvix = {0x595EF3BD, 0xA186, 0x454A, {0x81, 0x0C, 0x02, 0x01, 0x51, 0x39, 0xAC, 0xDC}};
// {006AD7B2-968A-11DE-88C9-5BDE55D89593}
inline constexpr GUID LIBID_NorvixLib = {0x006AD7B2, 0x968A, 0x11DE, {0x88, 0xC9, 0x5B, 0xDE, 0x55, 0xD8, 0x95, 0x93}};
// {1370A38E-9688-11DE-8914-73D155D89593}: the dispinterface _DNorvix.
// NOLINTNEXTLINE(bugprone-reserved-identifier): DIID_ and the dispinterface's name, as the type library names it
inline constexpr IID DIID__DNorvix = {0x1370A38E, 0x9688, 0x11DE, {0x89, 0x14, 0x73, 0xD1, 0x55, 0xD8, 0x95, 0x93}};
// {907FB2BE-968A-11DE-A40A-A7E655D89593}: the event dispinterface _DNorvixEvents, without events.
// NOLINTNEXTLINE(bugprone-reserved-identifier): DIID_ and the dispinterface's name, as the type library names it
inline constexpr IID DIID__DNorvixEvents = {
    0x907FB2BE, 0x968A, 0x11DE, {0xA4, 0x0A, 0xA7, 0xE6, 0x55, 0xD8, 0x95, 0x93}};

// The methods of _DNorvix, as the type library numbers them.
inline constexpr DISPID kDispIdStartupToolbar = 1;
inline constexpr DISPID kDispIdOnEvent = 2;

inline constexpr wchar_t kNorvixProgId[] = L"Kel.Norvix";
inline constexpr WORD kNorvixTypeLibMajor = 1;
inline constexpr WORD kNorvixTypeLibMinor = 0;

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
inline constexpr DWORD kNorvixMiscStatus = 132497;

// The five buttons of the add-on on the host's toolbar.
inline constexpr wchar_t kButtonKelSearch[] = L"CID_KEL_SEARCH";
inline constexpr wchar_t kButtonKelLogo[] = L"CID_KEL_LOGO";
inline constexpr wchar_t kButtonPaviseStatus[] = L"CID_PAVISE_STATUS";
inline constexpr wchar_t kButtonNorvixUpdate[] = L"CID_NORVIX_UPDATE";
inline constexpr wchar_t kButtonKelOptions[] = L"CID_KEL_OPTIONS";

}  // namespace core
