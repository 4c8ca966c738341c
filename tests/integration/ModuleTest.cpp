// The module as a COM server in this process: what its registration writes in each branch and removes again.

#include "NorvixSystem.h"

#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <olectl.h>

namespace integration
{
namespace
{

// The module in this process needs no service.
class ModuleTest : public NorvixSystemTest
{
protected:
    ModuleTest() : NorvixSystemTest(false) {}
};

const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{595EF3BD-A186-454A-810C-02015139ACDC}";

std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    std::wstring value;
    const auto key = win::OpenRegKey(root, path);
    return key && win::ReadRegString(key.Get(), name, value) ? value : L"<missing>";
}

template <typename F>
F Export(const char* name)
{
    return win::GetProc<F>(::GetModuleHandleW(WindowsPath(NORVIX_DLL).c_str()), name);
}

const wchar_t kTypeLibKey[] = L"Software\\Classes\\TypeLib\\{006AD7B2-968A-11DE-88C9-5BDE55D89593}";
const wchar_t kDispatchKey[] = L"Software\\Classes\\Interface\\{1370A38E-9688-11DE-8914-73D155D89593}";

bool HasKey(HKEY root, const std::wstring& path)
{
    return static_cast<bool>(win::OpenRegKey(root, path));
}

// The toolbox picture the registration names ("module path, id") is a bitmap of that module.
void ExpectToolboxBitmapLoads(HKEY root)
{
    const std::wstring value = Value(root, std::wstring(kClassKey) + L"\\ToolboxBitmap32");
    const size_t comma = value.rfind(L',');
    ASSERT_NE(std::wstring::npos, comma) << win::WideToAnsi(value, CP_UTF8);
    const HMODULE module = ::LoadLibraryExW(value.substr(0, comma).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    const HANDLE bitmap =
        ::LoadImageW(module, MAKEINTRESOURCEW(win::ParseDecimal(value.substr(comma + 1))), IMAGE_BITMAP, 0, 0, 0);
    EXPECT_NE(nullptr, bitmap) << "ToolboxBitmap32 = " << win::WideToAnsi(value, CP_UTF8);
    if (bitmap)
    {
        ::DeleteObject(bitmap);
    }
    ::FreeLibrary(module);
}

void ExpectControlKeys(HKEY root)
{
    const std::wstring cls = kClassKey;
    EXPECT_EQ(L"Norvix Addon", Value(root, cls));
    EXPECT_TRUE(win::EqualsNoCase(WindowsPath(NORVIX_DLL), Value(root, cls + L"\\InprocServer32")));
    EXPECT_EQ(L"Apartment", Value(root, cls + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(L"Kel.Norvix", Value(root, cls + L"\\ProgID"));
    EXPECT_EQ(L"132497", Value(root, cls + L"\\MiscStatus\\1"));
    EXPECT_EQ(L"{006AD7B2-968A-11DE-88C9-5BDE55D89593}", Value(root, cls + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", Value(root, cls + L"\\Version"));
    EXPECT_TRUE(HasKey(root, cls + L"\\Control"));
    EXPECT_EQ(L"{595EF3BD-A186-454A-810C-02015139ACDC}", Value(root, L"Software\\Classes\\Kel.Norvix\\CLSID"));
    ExpectToolboxBitmapLoads(root);
}

// The type library as the system registers it, in either branch.
void ExpectTypeLibraryKeys(HKEY root)
{
    const std::wstring version = std::wstring(kTypeLibKey) + L"\\1.0";
    EXPECT_EQ(L"Norvix Addon", Value(root, version));
    EXPECT_TRUE(win::EqualsNoCase(
        WindowsPath(NORVIX_DLL), Value(root, version + (sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32"))));
    EXPECT_EQ(
        L"{00020420-0000-0000-C000-000000000046}", Value(root, std::wstring(kDispatchKey) + L"\\ProxyStubClsid32"));
    EXPECT_EQ(L"{006AD7B2-968A-11DE-88C9-5BDE55D89593}", Value(root, std::wstring(kDispatchKey) + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", Value(root, std::wstring(kDispatchKey) + L"\\TypeLib", L"Version"));
}

void ExpectNothingRegistered(HKEY root)
{
    EXPECT_FALSE(HasKey(root, kClassKey));
    EXPECT_FALSE(HasKey(root, L"Software\\Classes\\Kel.Norvix"));
    EXPECT_FALSE(HasKey(root, kTypeLibKey));
    EXPECT_FALSE(HasKey(root, kDispatchKey));
}

// The module's registration exports, called in this process on the module the suite loaded.
class RegistrationTest : public ModuleTest
{
protected:
    using SetPerUser = HRESULT(STDAPICALLTYPE*)(BOOL);
    using Register = HRESULT(STDAPICALLTYPE*)();
    using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

    void SetUp() override
    {
        ModuleTest::SetUp();
        setPerUser = Export<SetPerUser>("DllSetPerUserRegistration");
        registerServer = Export<Register>("DllRegisterServer");
        unregisterServer = Export<Register>("DllUnregisterServer");
        install = Export<Install>("DllInstall");
        ASSERT_TRUE(setPerUser && registerServer && unregisterServer && install);
    }
    void TearDown() override
    {
        // The suite's machine registration is back, whatever a test left.
        (void)setPerUser(TRUE);
        (void)unregisterServer();
        (void)setPerUser(FALSE);
        EXPECT_EQ(S_OK, registerServer());
        ModuleTest::TearDown();
    }

    SetPerUser setPerUser = nullptr;
    Register registerServer = nullptr;
    Register unregisterServer = nullptr;
    Install install = nullptr;
};

TEST_F(RegistrationTest, MachineRegistrationWritesClassProgIdTypeLibraryAndAToolboxPictureOfTheModule)
{
    // The suite registered the module in the machine branch.
    ExpectControlKeys(HKEY_LOCAL_MACHINE);
    ExpectTypeLibraryKeys(HKEY_LOCAL_MACHINE);
    ExpectNothingRegistered(HKEY_CURRENT_USER);
}

TEST_F(RegistrationTest, UnregisteringAfterTheTypeLibraryWentStillRemovesTheClass)
{
    for (const BOOL perUser : {TRUE, FALSE})
    {
        SCOPED_TRACE(perUser ? "per user" : "machine");
        const HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        ASSERT_EQ(S_OK, setPerUser(perUser));
        ASSERT_EQ(S_OK, registerServer());
        // Removed already: by an earlier unregistration that shared the key, or by hand.
        ASSERT_TRUE(win::DeleteRegTree(root, kTypeLibKey));
        EXPECT_EQ(S_OK, unregisterServer());
        EXPECT_FALSE(HasKey(root, kClassKey));
        EXPECT_FALSE(HasKey(root, L"Software\\Classes\\Kel.Norvix"));
        EXPECT_EQ(S_OK, unregisterServer()) << "unregistering twice";
    }
}

TEST_F(RegistrationTest, PerUserRegistrationWritesOnlyTheUsersBranchAndDllInstallChoosesItForItsOwnCallOnly)
{
    // "regsvr32 /n /i:user": the current user alone, and nothing of it in the machine's branch, which a user without
    // administrator rights cannot write; the branch chosen before is back afterwards.
    ASSERT_EQ(S_OK, unregisterServer());
    ASSERT_EQ(S_OK, install(TRUE, L" USER "));
    ExpectControlKeys(HKEY_CURRENT_USER);
    ExpectTypeLibraryKeys(HKEY_CURRENT_USER);
    ExpectNothingRegistered(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(S_OK, unregisterServer());
    ExpectControlKeys(HKEY_CURRENT_USER);

    ASSERT_EQ(S_OK, setPerUser(TRUE));
    ASSERT_EQ(S_OK, install(FALSE, L"user"));
    ExpectNothingRegistered(HKEY_CURRENT_USER);
    ASSERT_EQ(S_OK, install(TRUE, nullptr));
    ExpectControlKeys(HKEY_LOCAL_MACHINE);
    ExpectNothingRegistered(HKEY_CURRENT_USER);
    ASSERT_EQ(S_OK, registerServer());
    ExpectControlKeys(HKEY_CURRENT_USER);
}

}  // namespace
}  // namespace integration
