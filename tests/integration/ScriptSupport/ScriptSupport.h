#pragma once
// Identity of the script support object (NorvixScriptSupport.dll), shared by the module and the tests that
// register it.
//
// Its methods, for a script that hosts the add-on control:
//   Unlock(control)          calls IToolbarSecurity::EnableToolbarScripting on the control; its HRESULT
//   Browser()                the stand-in host's browser object, without a window
//   Host()                   the stand-in host's dispatch object, without a toolbar window, over the settings of
//                            the file that the environment variable NORVIX_SCRIPT_SETTINGS names
//   ReadLine(timeoutMs)      the next line of standard input, "" after the time-out; the calling thread's
//                            messages keep flowing meanwhile, so calls marshalled to it are served

#include <windows.h>

// {1091487B-0B28-4DFF-8A24-E96D23D95F0D}
inline constexpr CLSID CLSID_NorvixScriptSupport = {
    0x1091487B, 0x0B28, 0x4DFF, {0x8A, 0x24, 0xE9, 0x6D, 0x23, 0xD9, 0x5F, 0x0D}};
inline constexpr wchar_t kScriptSupportProgId[] = L"NorvixTest.ScriptSupport";
inline constexpr wchar_t kScriptSettingsVariable[] = L"NORVIX_SCRIPT_SETTINGS";
