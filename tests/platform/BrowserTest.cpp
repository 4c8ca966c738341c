// Finding the browser and its version.

#include "platform/BrowserUtilities.h"

#include "FakePlatformSystem.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace
{

using platform_tests::FakePlatformSystem;

constexpr REGSAM kOther = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
const std::wstring kServerKey = L"Software\\Classes\\InternetExplorer.Application\\CLSID";
const std::wstring kClsid = L"{0002DF01-0000-0000-C000-000000000046}";
const std::wstring kServer = L"Software\\Classes\\CLSID\\" + kClsid + L"\\LocalServer32";
const std::wstring kStartMenu = L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command";
const std::wstring kApplication = L"SOFTWARE\\Classes\\Applications\\iexplore.exe\\shell\\open\\command";
const std::wstring kClassesApp = L"Applications\\iexplore.exe\\shell\\open\\command";

// The browser registered as its automation server in one registry view.
FakePlatformSystem Registered(const std::wstring& command, REGSAM view = 0)
{
    FakePlatformSystem system;
    system.registry[{HKEY_LOCAL_MACHINE, view, kServerKey}] = kClsid;
    system.registry[{HKEY_LOCAL_MACHINE, view, kServer}] = command;
    return system;
}

TEST(IEExecutablePathTest, FindsThePathInEachRegistrationWithoutQuotesOrArguments)
{
    using Registry = std::map<std::tuple<HKEY, REGSAM, std::wstring>, std::wstring>;
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const std::wstring command = L"\"C:\\Program Files\\IE\\iexplore.exe\" -nohome";
    struct Case
    {
        const char* name;
        Registry registry;
        const wchar_t* expected;  // null: not found
    };
    const Case cases[] = {
        {"server in own view", {{{lm, 0, kServerKey}, kClsid}, {{lm, 0, kServer}, command}},
            L"C:\\Program Files\\IE\\iexplore.exe"},
        {"server in other view, read there",
            {{{lm, kOther, kServerKey}, kClsid}, {{lm, 0, kServer}, L"C:\\own\\iexplore.exe"},
                {{lm, kOther, kServer}, L"C:\\other\\iexplore.exe"}},
            L"C:\\other\\iexplore.exe"},
        {"start-menu command first",
            {{{lm, 0, kServerKey}, kClsid}, {{lm, 0, kStartMenu}, command}, {{lm, 0, kApplication}, L"C:\\no.exe"}},
            L"C:\\Program Files\\IE\\iexplore.exe"},
        {"application command",
            {{{lm, kOther, kServerKey}, kClsid}, {{lm, 0, kApplication}, L"  \"C:\\IE\\IExplore.Exe\"  -k %1 "},
                {{HKEY_CLASSES_ROOT, 0, kClassesApp}, L"C:\\no.exe"}},
            L"C:\\IE\\IExplore.Exe"},
        {"classes command", {{{lm, 0, kServerKey}, kClsid}, {{HKEY_CLASSES_ROOT, 0, kClassesApp}, command}},
            L"C:\\Program Files\\IE\\iexplore.exe"},
        // A command that does not name the browser's program is kept whole rather than cut short.
        {"other program", {{{lm, 0, kServerKey}, kClsid}, {{lm, 0, kServer}, L"\"C:\\B\\launch.exe\""}},
            L"C:\\B\\launch.exe"},
        {"no server class", {{{lm, 0, kStartMenu}, command}}, nullptr},
        {"no command", {{{lm, 0, kServerKey}, kClsid}, {{lm, 0, kStartMenu}, L""}}, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        system.registry = c.registry;
        std::wstring path = L"sentinel";
        EXPECT_EQ(c.expected != nullptr, platform::GetIEExecutablePath(path, system) != FALSE);
        EXPECT_EQ(win::WideToAnsi(c.expected ? c.expected : L"", CP_UTF8), win::WideToAnsi(path, CP_UTF8));
    }
}

TEST(IEVersionTest, ReadsTheVersionOfTheRegisteredExecutable)
{
    // Built next to this executable with version 8.0.6001.18702.
    auto system = Registered(L"\"" + win::FolderOf(win::ModuleFileName(nullptr)) + L"VersionProbe.dll\"");
    EXPECT_EQ(8u, platform::GetIEMajorVersion(system));
    std::wstring version = L"sentinel";
    EXPECT_TRUE(platform::GetIEVersionString(version, system));
    EXPECT_EQ(L"8.0.6001.18702", version);

    auto missing = Registered(L"C:\\nowhere\\iexplore.exe");
    EXPECT_EQ(0u, platform::GetIEMajorVersion(missing));
    EXPECT_FALSE(platform::GetIEVersionString(version, missing));
    EXPECT_EQ(L"", version);
}

}  // namespace
