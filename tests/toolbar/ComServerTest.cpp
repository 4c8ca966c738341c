#include "TestToolbarControl.h"

#include "win/ClassFactory.h"
#include "win/ComModule.h"
#include "win/ComPtr.h"
#include "win/ComRegistration.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

namespace
{

constexpr wchar_t kProgId[] = L"KelToolbarTest.Control";

const win::ClassEntry kClasses[] = {{&CLSID_ToolbarTest, &CreateTestToolbarControl}};

class ComServerTest : public ::testing::Test
{
protected:
    ~ComServerTest() override { win::SetPerUserRegistration(false); }

    static std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
    {
        win::RegKey key = win::OpenRegKey(root, path);
        std::wstring value;
        if (!key || !win::ReadRegString(key.Get(), name, value))
        {
            return L"<missing>";
        }
        return value;
    }

    static win::ControlRegistration Registration()
    {
        return {CLSID_ToolbarTest, kProgId, L"Toolbar test control", win::ModuleFileName(win::ThisModule()), 1000,
            kTestMiscStatus, LIBID_ToolbarTest, 1, 0};
    }

    win::ComInit com;
};

TEST_F(ComServerTest, ClassFactoryCreatesControlsAndHoldsTheModuleWhileAnythingLives)
{
    const long before = win::ModuleLockCount();
    win::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, win::GetClassObject(kClasses, CLSID_ToolbarTest, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(before + 1, win::ModuleLockCount());

    IUnknown* sentinel = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, win::GetClassObject(kClasses, IID_IDispatch, IID_IClassFactory,
        reinterpret_cast<void**>(&sentinel)));
    EXPECT_EQ(nullptr, sentinel);

    sentinel = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IUnknown,
        reinterpret_cast<void**>(&sentinel)));
    EXPECT_EQ(nullptr, sentinel);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&sentinel)));
    EXPECT_EQ(before + 1, win::ModuleLockCount()) << "a refused instance must be gone again";

    win::ComPtr<IDispatch> control;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, control.PutVoid()));
    EXPECT_EQ(before + 2, win::ModuleLockCount());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    control.Reset();
    EXPECT_EQ(before + 1, win::ModuleLockCount());
    EXPECT_EQ(S_FALSE, win::ModuleCanUnloadNow());
    win::ComPtr<IClassFactory> again;
    ASSERT_EQ(S_OK, win::GetClassObject(kClasses, CLSID_ToolbarTest, IID_IClassFactory, again.PutVoid()));
    EXPECT_EQ(S_OK, again->LockServer(FALSE));
    again.Reset();
    EXPECT_EQ(before, win::ModuleLockCount());
}

TEST_F(ComServerTest, RegistrationWritesTheControlLayoutInTheChosenBranchAndRemovesIt)
{
    struct Case
    {
        const char* name;
        bool perUser;
        HKEY root;
    };
    const Case cases[] = {{"machine", false, HKEY_LOCAL_MACHINE}, {"per user", true, HKEY_CURRENT_USER}};
    const std::wstring module = win::ModuleFileName(win::ThisModule());
    const std::wstring classKey = L"Software\\Classes\\CLSID\\" + win::GuidToString(CLSID_ToolbarTest);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        win::SetPerUserRegistration(c.perUser);
        ASSERT_EQ(S_OK, win::RegisterControl(Registration()));
        const HKEY other = c.root == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        EXPECT_FALSE(win::OpenRegKey(other, classKey));

        const struct
        {
            std::wstring path;
            const wchar_t* name;
            std::wstring expected;
        } values[] = {
            {classKey, nullptr, L"Toolbar test control"},
            {classKey + L"\\InprocServer32", nullptr, module},
            {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {classKey + L"\\ProgID", nullptr, kProgId},
            {classKey + L"\\MiscStatus\\1", nullptr, L"132497"},
            {classKey + L"\\TypeLib", nullptr, L"{47FF487D-CB07-4583-B7F8-353DFD636A6F}"},
            {classKey + L"\\Version", nullptr, L"1.0"},
            {classKey + L"\\ToolboxBitmap32", nullptr, module + L", 1000"},
            {std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID", nullptr,
                win::GuidToString(CLSID_ToolbarTest)},
        };
        for (const auto& value : values)
        {
            SCOPED_TRACE(testing::Message() << "key " << testing::PrintToString(value.path));
            EXPECT_EQ(value.expected, Value(c.root, value.path, value.name));
        }
        EXPECT_TRUE(win::OpenRegKey(c.root, classKey + L"\\Control"));

        ASSERT_EQ(S_OK, win::UnregisterControl(CLSID_ToolbarTest, kProgId));
        EXPECT_FALSE(win::OpenRegKey(c.root, classKey));
        EXPECT_FALSE(win::OpenRegKey(c.root, std::wstring(L"Software\\Classes\\") + kProgId));
        EXPECT_EQ(S_OK, win::UnregisterControl(CLSID_ToolbarTest, kProgId)) << "removing twice is no failure";
    }
}

TEST_F(ComServerTest, TypeLibraryRegistersFromTheModuleResources)
{
    ASSERT_EQ(S_OK, win::RegisterTypeLibraryOf(win::ModuleFileName(win::ThisModule())));
    win::ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, ::LoadRegTypeLib(LIBID_ToolbarTest, 1, 0, LOCALE_NEUTRAL, library.Put()));
    library.Reset();
    EXPECT_EQ(S_OK, win::UnregisterTypeLibrary(win::ModuleFileName(win::ThisModule()), LIBID_ToolbarTest, 1, 0));
    EXPECT_TRUE(FAILED(::LoadRegTypeLib(LIBID_ToolbarTest, 1, 0, LOCALE_NEUTRAL, library.Put())));
    EXPECT_TRUE(FAILED(win::RegisterTypeLibraryOf(L"C:\\no\\such\\module.dll")));
}

} // namespace
