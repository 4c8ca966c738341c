#pragma once
// Wine's installer as both package suites drive it: msiexec run quietly as a process of its own, waited for
// without pipes (the 32-bit suite runs under user-mode emulation, where a second thread calling into Wine at
// once does not survive: see tests/CMakeLists.txt), and the products it has installed.

#include "win/Handle.h"
#include "win/Strings.h"
#include "win/TaskMemory.h"

#include <msi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace package_testing
{

// Wine's msiexec with `arguments`, quiet; its exit code, or -1 when it did not start or end within two minutes.
inline int RunMsiexec(const std::wstring& arguments)
{
    std::wstring commandLine = L"msiexec.exe " + arguments + L" /qn";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(
            nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    {
        return -1;
    }
    const win::KernelHandle processHandle(process.hProcess), thread(process.hThread);
    DWORD code = 0;
    if (::WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.hProcess, &code))
    {
        (void)::TerminateProcess(process.hProcess, 1);
        return -1;
    }
    return static_cast<int>(code);
}

// The product codes of the installed products named `name`; each build of a package has one of its own.
// NOTE: not by upgrade code: after a major upgrade Wine's installer, removing the older product last, deletes
// the upgrade code's whole registration, the newer product's with it, so MsiEnumRelatedProducts finds nothing.
inline std::vector<std::wstring> InstalledProducts(const std::wstring& name)
{
    std::vector<std::wstring> products;
    wchar_t product[39] = {};
    for (DWORD i = 0; ::MsiEnumProductsW(i, product) == ERROR_SUCCESS; ++i)
    {
        wchar_t installed[128] = {};
        DWORD size = ARRAYSIZE(installed);
        if (::MsiGetProductInfoW(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, installed, &size) == ERROR_SUCCESS &&
            installed == name)
        {
            products.emplace_back(product);
        }
    }
    return products;
}

// Removes every installed product named `name`, as a run that died midway may have left them.
inline void UninstallEvery(const std::wstring& name)
{
    for (const std::wstring& product : InstalledProducts(name))
    {
        (void)RunMsiexec(L"/x " + product);
    }
}

inline std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    win::TaskMemory<wchar_t> path;
    return SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, path.Put())) ? path.Get() : L"";
}

// A path as the host quotes it in its report of a control.
inline std::string Quoted(const std::wstring& path)
{
    std::string quoted = "\"";
    quoted += win::WideToAnsi(win::ReplaceAll(path, L"\\", L"\\\\"));
    quoted += '"';
    return quoted;
}

}  // namespace package_testing
