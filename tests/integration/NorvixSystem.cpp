#include "NorvixSystem.h"

#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "win/ComRegistration.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <objbase.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>

namespace integration
{
namespace
{
using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
HMODULE s_module = nullptr;

const wchar_t kMacroKey[] = L"Software\\KelToolbar\\Macro";
const wchar_t kPrefsKey[] = L"Software\\KelToolbar\\Prefs";

HRESULT CallExport(const char* name)
{
    const auto function = win::GetProc<RegisterFunction>(s_module, name);
    return function ? function() : E_NOTIMPL;
}

}  // namespace

std::wstring WindowsPath(const char* unixPath)
{
    return L"Z:" + win::ReplaceAll(win::AnsiToWide(unixPath), L"/", L"\\");
}

bool Host::Start(const std::wstring& settingsFile, int tabs)
{
    const std::wstring commandLine = L"\"" + WindowsPath(KELHOST_EXE) + L"\" --tabs " + std::to_wstring(tabs) +
        L" --settings \"" + settingsFile + L"\"";
    if (!m_process.Start(commandLine))
    {
        return false;
    }
    return m_process.WaitForLine("ready tabs=" + std::to_string(tabs), 60000);
}

std::string Host::FirstLine(const std::string& prefix) const
{
    const auto lines = Lines();
    const auto it =
        std::find_if(lines.begin(), lines.end(), [&](const auto& line) { return line.starts_with(prefix); });
    return it != lines.end() ? *it : std::string();
}

int Host::Quit()
{
    m_process.Send("quit");
    m_process.CloseInput();
    return m_process.WaitForExit(60000);
}

std::map<std::string, std::string> ParseFields(const std::string& line)
{
    static const std::regex field(R"re((\w+)=(?:"((?:[^"\\]|\\.)*)"|(\S*)))re");
    static const std::regex escape(R"re(\\(.))re");
    std::map<std::string, std::string> fields;
    for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it)
    {
        fields[(*it)[1]] = (*it)[2].matched ? std::regex_replace((*it)[2].str(), escape, "$1") : (*it)[3].str();
    }
    return fields;
}

void NorvixSystemTest::SetUpTestSuite()
{
    ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
    s_module = ::LoadLibraryW(WindowsPath(NORVIX_DLL).c_str());
    ASSERT_NE(nullptr, s_module);
    ASSERT_EQ(S_OK, CallExport("DllRegisterServer"));
}

void NorvixSystemTest::TearDownTestSuite()
{
    if (s_module)
    {
        EXPECT_EQ(S_OK, CallExport("DllUnregisterServer"));
        ::FreeLibrary(s_module);
        s_module = nullptr;
    }
    ::OleUninitialize();
}

void NorvixSystemTest::SetUp()
{
    if (m_withService)
    {
        ASSERT_TRUE(m_service.Start(0));
        m_service.SetDefinitions("green");
        m_service.SetProtection("enabled");
    }

    // A GUID of this test's own names the polling mutex, so nothing left from another test competes.
    // Written in lower case: the add-on upper-cases it for the mutex name.
    GUID guid{};
    ASSERT_EQ(S_OK, ::CoCreateGuid(&guid));
    auto macro = win::CreateRegKey(HKEY_CURRENT_USER, kMacroKey);
    ASSERT_TRUE(macro && win::WriteRegString(macro.Get(), L"guid", win::ToLower(win::GuidToString(guid))));
    (void)win::DeleteRegTree(HKEY_CURRENT_USER, kPrefsKey);

    win::File::Remove(StatusFilePath());
    // The install bubble has been shown: the tests here are about the status buttons.
    bubble::XToolbarBubbleConfigFile bubbleFile;
    bubbleFile.Open(BubbleFilePath());
    (void)bubbleFile.Load(false, true);
    bubbleFile.GetRecord()->m_showFlag = 0;
    ASSERT_TRUE(bubbleFile.Save(false));

    const std::string base = win::WideToAnsi(m_service.BaseUrl(), CP_UTF8);
    SetSetting("KelTb.Url.Norvix.API", base);
    SetSetting("KelTb.Str.API.HTTP.Timeout.Secs", "2");
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "2");
    SetSetting("KelTb.Str.Norvix.Status.Retry.Interval", "3");
    SetSetting("KelTb.Str.Norvix.Status.Update.Interval", "3");
    SetSetting("KelTb.Url.PaviseTracking", base + "track?cb={cbid}&but=BUT_ID&pos=P01");
    SetSetting("KelTb.Url.NovrixUpdateTracking", base + "track?cb={cbid}&but=BUT_ID&pos=P02");
}

void NorvixSystemTest::TearDown()
{
    for (auto& host : m_hosts)
    {
        if (HasFailure())
        {
            for (const auto& line : host->Lines())
            {
                std::printf("%s: %s\n", host->Name().c_str(), line.c_str());
            }
        }
        host->Quit();
    }
    m_hosts.clear();
    m_service.Stop();
    (void)win::DeleteRegTree(HKEY_CURRENT_USER, kMacroKey);
    (void)win::DeleteRegTree(HKEY_CURRENT_USER, kPrefsKey);
}

Host& NorvixSystemTest::StartHost(int tabs)
{
    // The current settings go to a new file of the test's folder, as a host reads them.
    std::ostringstream text;
    for (const auto& [key, value] : m_settings)
    {
        text << key << "=" << value << "\n";
    }
    const std::wstring file = m_folder.File(win::Format(L"settings-%zu.txt", ++m_settingsFiles));
    EXPECT_TRUE(win::File::WriteAll(file, text.str()));
    m_hosts.push_back(std::make_unique<Host>("host" + std::to_string(m_hosts.size() + 1)));
    Host& host = *m_hosts.back();
    EXPECT_TRUE(host.Start(file, tabs)) << "KelHost did not start";
    return host;
}

std::wstring NorvixSystemTest::StatusFilePath()
{
    return platform::GetWriteableFolder(L"KelToolbar", TRUE) + L"Norvix.status.config";
}

std::wstring NorvixSystemTest::BubbleFilePath()
{
    return platform::GetWriteableFolder(L"KelToolbar", TRUE) + L"Norvix.install-bubble.config";
}

OverlayState LatestOverlay(const Host& host, int tab, int commandId)
{
    const std::string prefix = "tab " + std::to_string(tab) + " overlay " + std::to_string(commandId) + " ";
    const auto lines = host.Lines();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    {
        if (it->rfind(prefix, 0) == 0)
        {
            auto fields = ParseFields(*it);
            return {true, std::atoi(fields["icon"].c_str()), fields["title"], fields["tooltip"],
                fields["visible"] == "1", fields["enabled"] == "1", fields["shown"] == "1"};
        }
    }
    return {};
}

}  // namespace integration
