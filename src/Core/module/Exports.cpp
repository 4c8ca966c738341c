// The module's entry points: class objects, unloading, and registration of the control in the machine's or
// the current user's class branch.

#include "Core/Controller.h"
#include "Core/NorvixIds.h"
#include "module/NorvixApp.h"
#include "win/ClassFactory.h"
#include "win/ComBoundary.h"
#include "win/ComModule.h"
#include "win/ComRegistration.h"
#include "win/Module.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <olectl.h>

namespace
{
using Factory = core::Controller::ControllerFactory;

const win::ClassEntry kClasses[] = {Factory::kEntry};

// A DllInstall command line that asks for the current user's branch ("user", any case, blanks allowed).
bool AsksForCurrentUser(LPCWSTR commandLine)
{
    return commandLine && win::EqualsNoCase(win::Trim(commandLine), L"user");
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) noexcept
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        core::NorvixApp::Instance().OnProcessAttach(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    core::NorvixApp::Instance().EnsureStarted();
    return win::GetClassObject(kClasses, classId, iid, out);
}

STDAPI DllCanUnloadNow()
{
    return win::ModuleCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return win::ComBoundary([] {
        if (FAILED(win::RegisterTypeLibraryOf(win::ModuleFileName(win::ThisModule()))))
        {
            return SELFREG_E_TYPELIB;
        }
        return FAILED(Factory::UpdateRegistry(Factory::Registration::Register)) ? SELFREG_E_CLASS : S_OK;
    });
}

STDAPI DllUnregisterServer()
{
    return win::ComBoundary([] {
        if (FAILED(win::UnregisterTypeLibrary(win::ModuleFileName(win::ThisModule()), core::LIBID_NorvixLib,
                core::kNorvixTypeLibMajor, core::kNorvixTypeLibMinor)))
        {
            return SELFREG_E_TYPELIB;
        }
        return FAILED(Factory::UpdateRegistry(Factory::Registration::Unregister)) ? SELFREG_E_CLASS : S_OK;
    });
}

STDAPI DllSetPerUserRegistration(BOOL perUser)
{
    win::SetPerUserRegistration(perUser != FALSE);
    return S_OK;
}

// regsvr32 /i:user (with /n: registration through this call alone) registers for the current user only;
// without "user" the machine's branch is used. The branch chosen through DllSetPerUserRegistration is back in
// place when the call returns.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    const bool previous = win::IsPerUserRegistration();
    const win::ScopeExit restore([previous] { win::SetPerUserRegistration(previous); });
    return win::ComBoundary([&] {
        win::SetPerUserRegistration(AsksForCurrentUser(commandLine));
        return install ? DllRegisterServer() : DllUnregisterServer();
    });
}
