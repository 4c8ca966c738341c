// The 32-bit package, the one most browsers load, installed for the user by Wine's 32-bit installer in the
// 32-bit tree's prefix: the control is made from the installed file as a host makes it (the class's server
// path read from the user's classes, the module loaded, its class factory asked), its type library is the
// 32-bit one, and the uninstall takes the file, its folder and every key of the control away.
// One thread in all (see Installer.h).

#include "Installer.h"

#include "Core/NorvixIds.h"
#include "win/ComPtr.h"
#include "win/ComRegistration.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace
{

using package_testing::InstalledProducts;
using package_testing::KnownFolder;
using package_testing::RunMsiexec;

std::wstring WindowsPath(const char* unixPath)
{
    return L"Z:" + win::ReplaceAll(win::AnsiToWide(unixPath), L"/", L"\\");
}

const std::wstring kPackage = WindowsPath(NORVIX_X86_PACKAGE);
const wchar_t kProduct[] = L"Norvix Addon";
const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kClassKey = kClasses + L"CLSID\\" + win::GuidToString(core::CLSID_Norvix);
const std::wstring kLibraryKey = kClasses + L"TypeLib\\" + win::GuidToString(core::LIBID_NorvixLib);

// The default value of HKCU\<path>, or "(none)" when the key or the value is missing.
std::wstring UserDefault(const std::wstring& path)
{
    const win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, path);
    std::wstring value;
    return key && win::ReadRegString(key.Get(), nullptr, value) ? value : L"(none)";
}

bool UserKeyExists(const std::wstring& path)
{
    return static_cast<bool>(win::OpenRegKey(HKEY_CURRENT_USER, path));
}

class X86PackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
        package_testing::UninstallEvery(kProduct);  // what a run that died midway left
    }
    void TearDown() override
    {
        if (HasFailure())
        {
            package_testing::UninstallEvery(kProduct);
        }
        ::OleUninitialize();
    }
};

TEST_F(X86PackageTest, InstallsForTheUserMakesTheControlFromTheInstalledFileAndUninstallsToTheLastKey)
{
    const std::wstring module = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Kel\\Norvix\\x86\\Norvix.dll";
    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kPackage + L"\""));
    EXPECT_EQ(1u, InstalledProducts(kProduct).size());

    // What a host reads to find the module: the ProgID's class and that class's server, the installed file.
    EXPECT_EQ(win::GuidToString(core::CLSID_Norvix), UserDefault(kClasses + L"Kel.Norvix\\CLSID"));
    const std::wstring server = UserDefault(kClassKey + L"\\InprocServer32");
    EXPECT_TRUE(win::EqualsNoCase(module, server)) << win::WideToAnsi(server);
    // The type library is registered for 32-bit callers alone, at the same file, and is the 32-bit one.
    EXPECT_TRUE(win::EqualsNoCase(module, UserDefault(kLibraryKey + L"\\1.0\\0\\win32")));
    EXPECT_FALSE(UserKeyExists(kLibraryKey + L"\\1.0\\0\\win64"));
    {
        win::ComPtr<ITypeLib> library;
        ASSERT_EQ(S_OK, ::LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put()));
        TLIBATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
        EXPECT_EQ(SYS_WIN32, attributes->syskind);
        EXPECT_TRUE(IsEqualGUID(core::LIBID_NorvixLib, attributes->guid));
        library->ReleaseTLibAttr(attributes);
    }

    // The control, made from that file as the toolbar host makes it, answers by the names the host calls.
    {
        const win::ModuleHandle loaded(::LoadLibraryW(server.c_str()));
        ASSERT_TRUE(loaded);
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
        const auto getClassObject = win::GetProc<GetClassObject>(loaded.Get(), "DllGetClassObject");
        const auto canUnloadNow = win::GetProc<CanUnloadNow>(loaded.Get(), "DllCanUnloadNow");
        ASSERT_TRUE(getClassObject && canUnloadNow);
        {
            win::ComPtr<IClassFactory> factory;
            ASSERT_EQ(S_OK, getClassObject(core::CLSID_Norvix, IID_IClassFactory, factory.PutVoid()));
            win::ComPtr<IDispatch> control;
            ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, control.PutVoid()));
            EXPECT_EQ(S_FALSE, canUnloadNow()) << "a control is alive";
            UINT count = 0;
            EXPECT_EQ(S_OK, control->GetTypeInfoCount(&count));
            EXPECT_EQ(1u, count);
            for (const auto& [name, expected] : {std::pair{L"StartupToolbar", core::kDispIdStartupToolbar},
                     std::pair{L"OnEvent", core::kDispIdOnEvent}})
            {
                std::wstring text = name;
                LPOLESTR names[] = {text.data()};
                DISPID id = DISPID_UNKNOWN;
                EXPECT_EQ(S_OK, control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
                EXPECT_EQ(expected, id) << win::WideToAnsi(name);
            }
        }
        EXPECT_EQ(S_OK, canUnloadNow()) << "the control and its factory are gone";
    }

    ASSERT_EQ(0, RunMsiexec(L"/x \"" + kPackage + L"\""));
    EXPECT_EQ(std::vector<std::wstring>{}, InstalledProducts(kProduct));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(module.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(win::FolderOf(module).c_str()));
    for (const std::wstring& key : {kClasses + L"Kel.Norvix", kClassKey, kLibraryKey})
    {
        EXPECT_FALSE(UserKeyExists(key)) << win::WideToAnsi(key);
    }
}

}  // namespace
