// Finding, identifying and starting the browser, and the shell calls around it.

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
        EXPECT_EQ(c.expected != nullptr, GetIEExecutablePath(path, system) != FALSE);
        EXPECT_EQ(win::WideToAnsi(c.expected ? c.expected : L"", CP_UTF8), win::WideToAnsi(path, CP_UTF8));
    }
}

TEST(IEExecutablePathTest, ExpandsTheProgramFilesPlaceholderOfItsView)
{
    struct Case
    {
        const char* name;
        std::wstring command;
        REGSAM view;
        bool wow64;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"own folder", L"%ProgramFiles%\\IE\\iexplore.exe", 0, false, L"C:\\PF\\IE\\iexplore.exe"},
        {"x86 folder under WOW64", L"\"%ProgramFiles(x86)%\\IE\\IEXPLORE.EXE\" %1", 0, true,
            L"C:\\PF86\\IE\\IEXPLORE.EXE"},
        {"other view under WOW64", L"%ProgramFiles%\\IE\\iexplore.exe", kOther, true, L"C:\\PF\\IE\\iexplore.exe"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system = Registered(c.command, c.view);
        system.wow64 = c.wow64;
        system.environment = {{L"ProgramFiles", L"C:\\PF"}, {L"ProgramFiles(x86)", L"C:\\PF86"}};
        std::wstring path;
        EXPECT_TRUE(GetIEExecutablePath(path, system));
        EXPECT_EQ(c.expected, path);
    }
    FakePlatformSystem unset = Registered(L"%ProgramFiles%\\IE\\iexplore.exe");
    std::wstring path;
    EXPECT_TRUE(GetIEExecutablePath(path, unset));
    EXPECT_EQ(L"%ProgramFiles%\\IE\\iexplore.exe", path);
}

TEST(IEVersionTest, ReadsTheVersionOfTheRegisteredExecutable)
{
    // Built next to this executable with version 8.0.6001.18702.
    auto system = Registered(L"\"" + win::FolderOf(win::ModuleFileName(nullptr)) + L"VersionProbe.dll\"");
    EXPECT_EQ(8u, GetIEMajorVersion(system));
    std::wstring version = L"sentinel";
    EXPECT_TRUE(GetIEVersionString(version, system));
    EXPECT_EQ(L"8.0.6001.18702", version);

    auto missing = Registered(L"C:\\nowhere\\iexplore.exe");
    EXPECT_EQ(0u, GetIEMajorVersion(missing));
    EXPECT_FALSE(GetIEVersionString(version, missing));
    EXPECT_EQ(L"", version);
}

TEST(LaunchTest, StartsTheBrowserOrTheShellAndBeepsOnlyWhenAsked)
{
    const wchar_t* url = L"http://127.0.0.1/page";
    const wchar_t* ie = L"C:\\IE\\iexplore.exe";
    struct Case
    {
        const char* name;
        BOOL useIE;
        bool ieLaunch;
        INT_PTR shellResult;
        BOOL beep, expected;
        int ieLaunches;
        const wchar_t* shellFile;  // null: no shell call
        const wchar_t* shellParameters;
        int shellShow, beeps;
    };
    const Case cases[] = {
        {"shell", FALSE, false, 33, TRUE, TRUE, 0, url, L"<null>", SW_SHOWNORMAL, 0},
        {"shell fails, beep", FALSE, false, 32, TRUE, FALSE, 0, url, L"<null>", SW_SHOWNORMAL, 1},
        {"shell fails quietly", FALSE, false, 2, FALSE, FALSE, 0, url, L"<null>", SW_SHOWNORMAL, 0},
        {"browser launch", TRUE, true, 33, TRUE, TRUE, 1, nullptr, nullptr, 0, 0},
        {"browser launch fails, start it", TRUE, false, 33, TRUE, TRUE, 1, ie, url, SW_SHOWDEFAULT, 0},
        {"everything fails", TRUE, false, 0, TRUE, FALSE, 1, ie, url, SW_SHOWDEFAULT, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto system = Registered(L"\"C:\\IE\\iexplore.exe\" -nohome");
        system.ieLaunchSucceeds = c.ieLaunch;
        system.shellResult = c.shellResult;
        EXPECT_EQ(c.expected, LaunchURL(url, SW_SHOWNORMAL, c.beep, c.useIE, system));
        EXPECT_EQ(c.ieLaunches, system.ieLaunches);
        EXPECT_EQ(c.beeps, system.beeps);
        ASSERT_EQ(c.shellFile ? 1u : 0u, system.shellCalls.size());
        if (c.shellFile)
        {
            EXPECT_EQ(L"open", system.shellCalls[0].verb);
            EXPECT_EQ(c.shellFile, system.shellCalls[0].file);
            EXPECT_EQ(c.shellParameters, system.shellCalls[0].parameters);
            EXPECT_EQ(c.shellShow, system.shellCalls[0].show);
        }
    }

    // Nothing to start never reaches the shell.
    auto system = Registered(ie);
    EXPECT_FALSE(LaunchURL(nullptr, SW_SHOWNORMAL, TRUE, FALSE, system));
    EXPECT_FALSE(StartIE(L"", system));
    EXPECT_FALSE(ShellOpen(nullptr, nullptr, system));
    FakePlatformSystem unregistered;
    EXPECT_FALSE(StartIE(url, unregistered));
    EXPECT_TRUE(unregistered.shellCalls.empty());
    EXPECT_TRUE(system.shellCalls.empty());
    EXPECT_EQ(1, system.beeps);
    EXPECT_TRUE(ShellOpen(L"C:\\file.txt", L"/x", system));
    EXPECT_EQ(SW_HIDE, system.shellCalls.at(0).show);
}

TEST(DefaultBrowserTest, AsksAboutATemporaryPageAndNamesTheProgramsKind)
{
    const std::pair<const wchar_t*, int> cases[] = {
        {L"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE", kBrowserIE},
        {L"C:\\Netscape\\netscp.exe", kBrowserNetscape},
        {L"C:\\Mozilla\\Mozilla.exe", kBrowserMozilla},
        {L"C:\\Mozilla Firefox\\firefox.exe", kBrowserFirefox},
        {L"C:\\Opera\\opera.exe", kBrowserOpera},
        {L"C:\\Other\\chrome.exe", kBrowserOther},
        // Only the file name counts, and only as a whole.
        {L"C:\\firefox\\launcher.exe", kBrowserOther},
        {L"C:\\Apps\\firefox-beta.exe", kBrowserOther},
    };
    for (const auto& [executable, expectedKind] : cases)
    {
        SCOPED_TRACE(win::WideToAnsi(executable, CP_UTF8));
        FakePlatformSystem system;
        system.foundExecutable = executable;
        int kind = -1;
        std::wstring path;
        EXPECT_TRUE(GetDefaultBrowser(kind, path, system));
        EXPECT_EQ(expectedKind, kind);
        EXPECT_EQ(executable, path);
        EXPECT_EQ("<html></html>", system.findDocumentContent);
        const std::wstring& page = system.findDocument;
        ASSERT_GT(page.size(), 4u);
        EXPECT_EQ(L".htm", page.substr(page.size() - 4));
        // Neither the page nor the unique name it was made from is left behind.
        EXPECT_FALSE(win::File::Exists(page));
        EXPECT_FALSE(win::File::Exists(page.substr(0, page.size() - 4)));
    }

    FakePlatformSystem none;
    none.findResult = SE_ERR_NOASSOC;
    int kind = -1;
    std::wstring path = L"sentinel";
    EXPECT_FALSE(GetDefaultBrowser(kind, path, none));
    EXPECT_EQ(kBrowserOther, kind);
    EXPECT_EQ(L"", path);
}

} // namespace
