// Finding, identifying and starting the browser, and the shell calls around it.

#include "platform/BrowserUtilities.h"

#include "FakePlatformSystem.h"
#include "ProbePaths.h"
#include "win/File.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using platform_tests::FakePlatformSystem;

constexpr REGSAM kOther = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
const std::wstring kServerKey = L"Software\\Classes\\InternetExplorer.Application\\CLSID";
const std::wstring kClsid = L"{0002DF01-0000-0000-C000-000000000046}";
const std::wstring kLocalServer = L"Software\\Classes\\CLSID\\" + kClsid + L"\\LocalServer32";
const std::wstring kStartMenu = L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command";
const std::wstring kApplication = L"SOFTWARE\\Classes\\Applications\\iexplore.exe\\shell\\open\\command";
const std::wstring kClassesApplication = L"Applications\\iexplore.exe\\shell\\open\\command";

std::string Narrow(const std::wstring& text)
{
    return win::WideToAnsi(text, CP_UTF8);
}

// The browser registered as its automation server in the process's own view.
void RegisterServer(FakePlatformSystem& system, const std::wstring& command, REGSAM view = 0)
{
    system.SetText(HKEY_LOCAL_MACHINE, view, kServerKey, kClsid);
    system.SetText(HKEY_LOCAL_MACHINE, view, kLocalServer, command);
}

TEST(IEExecutablePathTest, StripsQuotesAndArgumentsFromEachRegistration)
{
    const std::wstring expected = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";
    const std::wstring quoted = L"\"" + expected + L"\" -nohome";
    struct Case
    {
        const char* name;
        void (*arrange)(FakePlatformSystem&, const std::wstring&);
    };
    const Case cases[] = {
        {"server in own view", [](FakePlatformSystem& s, const std::wstring& c) { RegisterServer(s, c); }},
        {"server in other view", [](FakePlatformSystem& s, const std::wstring& c) { RegisterServer(s, c, kOther); }},
        {"start-menu command",
            [](FakePlatformSystem& s, const std::wstring& c)
            {
                s.SetText(HKEY_LOCAL_MACHINE, 0, kServerKey, kClsid);
                s.SetText(HKEY_LOCAL_MACHINE, 0, kStartMenu, c);
                s.SetText(HKEY_LOCAL_MACHINE, 0, kApplication, L"C:\\wrong\\iexplore.exe");
            }},
        {"application command",
            [](FakePlatformSystem& s, const std::wstring& c)
            {
                s.SetText(HKEY_LOCAL_MACHINE, kOther, kServerKey, kClsid);
                s.SetText(HKEY_LOCAL_MACHINE, 0, kApplication, c);
                s.SetText(HKEY_CLASSES_ROOT, 0, kClassesApplication, L"C:\\wrong\\iexplore.exe");
            }},
        {"classes command",
            [](FakePlatformSystem& s, const std::wstring& c)
            {
                s.SetText(HKEY_LOCAL_MACHINE, 0, kServerKey, kClsid);
                s.SetText(HKEY_CLASSES_ROOT, 0, kClassesApplication, c);
            }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        c.arrange(system, quoted);
        std::wstring path = L"sentinel";
        EXPECT_TRUE(GetIEExecutablePath(path, system));
        EXPECT_EQ(Narrow(expected), Narrow(path));
    }
}

TEST(IEExecutablePathTest, ReadsTheServerInTheViewThatNamedIt)
{
    FakePlatformSystem system;
    system.SetText(HKEY_LOCAL_MACHINE, kOther, kServerKey, kClsid);
    system.SetText(HKEY_LOCAL_MACHINE, 0, kLocalServer, L"C:\\own view\\iexplore.exe");
    system.SetText(HKEY_LOCAL_MACHINE, kOther, kLocalServer, L"C:\\other view\\iexplore.exe");
    std::wstring path;
    EXPECT_TRUE(GetIEExecutablePath(path, system));
    EXPECT_EQ(L"C:\\other view\\iexplore.exe", path);
}

TEST(IEExecutablePathTest, UnregisteredBrowserGivesFalseWithoutTryingCommands)
{
    FakePlatformSystem system;
    system.SetText(HKEY_LOCAL_MACHINE, 0, kStartMenu, L"C:\\IE\\iexplore.exe");
    std::wstring path = L"sentinel";
    EXPECT_FALSE(GetIEExecutablePath(path, system));
    EXPECT_EQ(L"", path);

    system.SetText(HKEY_LOCAL_MACHINE, 0, kServerKey, kClsid);
    system.SetText(HKEY_LOCAL_MACHINE, 0, kStartMenu, L"");
    EXPECT_FALSE(GetIEExecutablePath(path, system));
    EXPECT_EQ(L"", path);
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
        {"own folder", L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", 0, false,
            L"C:\\PF\\Internet Explorer\\iexplore.exe"},
        {"x86 folder under WOW64", L"\"%ProgramFiles(x86)%\\Internet Explorer\\IEXPLORE.EXE\" %1", 0, true,
            L"C:\\PF86\\Internet Explorer\\IEXPLORE.EXE"},
        {"other view under WOW64", L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", kOther, true,
            L"C:\\PF\\Internet Explorer\\iexplore.exe"},
        {"mixed case name", L"  \"C:\\IE\\IExplore.Exe\"  -k  ", 0, false, L"C:\\IE\\IExplore.Exe"},
        // A command that does not name the browser's program is kept whole rather than cut short.
        {"other program", L"\"C:\\Browsers\\launcher.exe\"", 0, false, L"C:\\Browsers\\launcher.exe"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        system.wow64 = c.wow64;
        system.environment = {{L"ProgramFiles", L"C:\\PF"}, {L"ProgramFiles(x86)", L"C:\\PF86"}};
        RegisterServer(system, c.command, c.view);
        std::wstring path;
        EXPECT_TRUE(GetIEExecutablePath(path, system));
        EXPECT_EQ(Narrow(c.expected), Narrow(path));
    }

    FakePlatformSystem unset;
    RegisterServer(unset, L"%ProgramFiles%\\Internet Explorer\\iexplore.exe");
    std::wstring path;
    EXPECT_TRUE(GetIEExecutablePath(path, unset));
    EXPECT_EQ(L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", path);
}

TEST(IEVersionTest, ReadsTheVersionOfTheRegisteredExecutable)
{
    FakePlatformSystem system;
    RegisterServer(system, L"\"" + platform_tests::VersionProbePath() + L"\"");
    EXPECT_EQ(8u, GetIEMajorVersion(system));
    std::wstring version = L"sentinel";
    EXPECT_TRUE(GetIEVersionString(version, system));
    EXPECT_EQ(L"8.0.6001.18702", version);

    FakePlatformSystem noVersion;
    RegisterServer(noVersion, L"C:\\nowhere\\iexplore.exe");
    EXPECT_EQ(0u, GetIEMajorVersion(noVersion));
    EXPECT_FALSE(GetIEVersionString(version, noVersion));
    EXPECT_EQ(L"", version);

    FakePlatformSystem unregistered;
    EXPECT_EQ(0u, GetIEMajorVersion(unregistered));
    EXPECT_FALSE(GetIEVersionString(version, unregistered));
}

TEST(StartIETest, StartsTheRegisteredExecutableWithArguments)
{
    FakePlatformSystem system;
    RegisterServer(system, L"\"C:\\IE\\iexplore.exe\" -nohome");
    EXPECT_FALSE(StartIE(nullptr, system));
    EXPECT_FALSE(StartIE(L"", system));
    EXPECT_TRUE(system.shellCalls.empty());

    EXPECT_TRUE(StartIE(L"http://127.0.0.1/", system));
    ASSERT_EQ(1u, system.shellCalls.size());
    EXPECT_EQ(L"open", system.shellCalls[0].verb);
    EXPECT_EQ(L"C:\\IE\\iexplore.exe", system.shellCalls[0].file);
    EXPECT_EQ(L"http://127.0.0.1/", system.shellCalls[0].parameters);
    EXPECT_EQ(SW_SHOWDEFAULT, system.shellCalls[0].show);

    system.shellResult = 32;
    EXPECT_FALSE(StartIE(L"http://127.0.0.1/", system));

    FakePlatformSystem unregistered;
    EXPECT_FALSE(StartIE(L"http://127.0.0.1/", unregistered));
    EXPECT_TRUE(unregistered.shellCalls.empty());
}

TEST(LaunchURLTest, FallsBackAndBeepsOnlyWhenAskedTo)
{
    const wchar_t* url = L"http://127.0.0.1/page";
    struct Case
    {
        const char* name;
        BOOL useIE;
        bool ieLaunch;
        INT_PTR shellResult;
        BOOL beep;
        BOOL expected;
        int ieLaunches;
        const wchar_t* shellFile;  // null: no shell call
        int shellShow;
        int beeps;
    };
    const Case cases[] = {
        {"shell", FALSE, false, 33, TRUE, TRUE, 0, url, SW_SHOWNORMAL, 0},
        {"shell fails, beep", FALSE, false, 32, TRUE, FALSE, 0, url, SW_SHOWNORMAL, 1},
        {"shell fails quietly", FALSE, false, 2, FALSE, FALSE, 0, url, SW_SHOWNORMAL, 0},
        {"browser launch", TRUE, true, 33, TRUE, TRUE, 1, nullptr, 0, 0},
        {"browser launch fails, start it", TRUE, false, 33, TRUE, TRUE, 1, L"C:\\IE\\iexplore.exe", SW_SHOWDEFAULT, 0},
        {"everything fails", TRUE, false, 0, TRUE, FALSE, 1, L"C:\\IE\\iexplore.exe", SW_SHOWDEFAULT, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        RegisterServer(system, L"C:\\IE\\iexplore.exe");
        system.ieLaunchSucceeds = c.ieLaunch;
        system.shellResult = c.shellResult;
        EXPECT_EQ(c.expected, LaunchURL(url, SW_SHOWNORMAL, c.beep, c.useIE, system));
        EXPECT_EQ(static_cast<size_t>(c.ieLaunches), system.ieLaunches.size());
        if (c.shellFile)
        {
            ASSERT_EQ(1u, system.shellCalls.size());
            EXPECT_EQ(L"open", system.shellCalls[0].verb);
            EXPECT_EQ(c.shellFile, system.shellCalls[0].file);
            EXPECT_EQ(c.shellShow, system.shellCalls[0].show);
        }
        else
        {
            EXPECT_TRUE(system.shellCalls.empty());
        }
        EXPECT_EQ(c.beeps, system.beeps);
    }

    FakePlatformSystem system;
    EXPECT_FALSE(LaunchURL(nullptr, SW_SHOWNORMAL, TRUE, FALSE, system));
    EXPECT_TRUE(system.shellCalls.empty());
    EXPECT_EQ(1, system.beeps);
}

TEST(ShellOpenTest, OpensHiddenAndReportsShellFailures)
{
    FakePlatformSystem system;
    EXPECT_TRUE(ShellOpen(L"C:\\file.txt", L"/x", system));
    ASSERT_EQ(1u, system.shellCalls.size());
    EXPECT_EQ(L"open", system.shellCalls[0].verb);
    EXPECT_EQ(L"/x", system.shellCalls[0].parameters);
    EXPECT_EQ(SW_HIDE, system.shellCalls[0].show);
    EXPECT_TRUE(ShellOpen(L"C:\\file.txt", nullptr, system));
    EXPECT_EQ(L"<null>", system.shellCalls[1].parameters);
    system.shellResult = SE_ERR_NOASSOC;
    EXPECT_FALSE(ShellOpen(L"C:\\file.txt", nullptr, system));
    EXPECT_FALSE(ShellOpen(nullptr, nullptr, system));
    EXPECT_EQ(3u, system.shellCalls.size());
}

TEST(DefaultBrowserTest, NamesTheKindOfTheProgramThatOpensPages)
{
    struct Case
    {
        const wchar_t* executable;
        int kind;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE", kBrowserIE},
        {L"C:\\Netscape\\netscp.exe", kBrowserNetscape},
        {L"C:\\Mozilla\\Mozilla.exe", kBrowserMozilla},
        {L"C:\\Mozilla Firefox\\firefox.exe", kBrowserFirefox},
        {L"C:\\Opera\\opera.exe", kBrowserOpera},
        {L"C:\\Other\\chrome.exe", kBrowserOther},
        // Only the file name counts, and only as a whole.
        {L"C:\\firefox\\launcher.exe", kBrowserOther},
        {L"C:\\Apps\\firefox-beta.exe", kBrowserOther},
        {L"C:\\Apps\\opera", kBrowserOpera},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.executable));
        FakePlatformSystem system;
        system.foundExecutable = c.executable;
        int kind = -1;
        std::wstring path;
        EXPECT_TRUE(GetDefaultBrowser(kind, path, system));
        EXPECT_EQ(c.kind, kind);
        EXPECT_EQ(c.executable, path);
    }
}

TEST(DefaultBrowserTest, AsksAboutASmallPageAndRemovesItAfterwards)
{
    FakePlatformSystem system;
    system.foundExecutable = L"C:\\x\\iexplore.exe";
    int kind = -1;
    std::wstring path;
    ASSERT_TRUE(GetDefaultBrowser(kind, path, system));
    EXPECT_TRUE(system.findDocumentExisted);
    EXPECT_EQ("<html></html>", system.findDocumentContent);
    const std::wstring& page = system.findDocument;
    ASSERT_GT(page.size(), 4u);
    EXPECT_EQ(L".htm", page.substr(page.size() - 4));
    EXPECT_FALSE(win::File::Exists(page));
    // The unique name the page was made from is not left behind either.
    EXPECT_FALSE(win::File::Exists(page.substr(0, page.size() - 4)));

    FakePlatformSystem none;
    none.findResult = SE_ERR_NOASSOC;
    kind = -1;
    path = L"sentinel";
    EXPECT_FALSE(GetDefaultBrowser(kind, path, none));
    EXPECT_EQ(kBrowserOther, kind);
    EXPECT_EQ(L"", path);
    EXPECT_FALSE(win::File::Exists(none.findDocument));
}

TEST(IEFrameTest, SeesAFrameWindowOfTheBrowsersClass)
{
    EXPECT_FALSE(IsIEFrameOpen());
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"IEFrame";
    ASSERT_NE(0, ::RegisterClassW(&windowClass));
    {
        const win::WindowHandle frame(::CreateWindowExW(0, L"IEFrame", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
            nullptr, windowClass.hInstance, nullptr));
        ASSERT_TRUE(frame);
        EXPECT_TRUE(IsIEFrameOpen());
    }
    EXPECT_FALSE(IsIEFrameOpen());
    ::UnregisterClassW(L"IEFrame", windowClass.hInstance);
}

} // namespace
