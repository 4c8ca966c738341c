#pragma once
// The add-on's world for one integration test: Norvix.dll registered in the test prefix (once for the suite),
// the product service on a free loopback port (in this process), a scratch installation GUID so the polling
// mutex is this test's own (removed afterwards), fresh state files, a host settings file pointing the add-on at
// the service, and KelHost.exe processes driven through their command channel.

#include "ProductService.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace integration
{

// A path of the build machine as the Windows programs under Wine see it.
[[nodiscard]] std::wstring WindowsPath(const char* unixPath);

// One KelHost.exe process.
class Host
{
public:
    explicit Host(std::string name) : m_name(std::move(name)) {}
    [[nodiscard]] bool Start(const std::wstring& settingsFile, int tabs);
    bool Send(const std::string& command) { return m_process.Send(command); }
    // Waits for an output line containing `text`, after the last one a wait matched.
    [[nodiscard]] bool WaitFor(const std::string& text, unsigned timeoutMs = 20000, std::string* line = nullptr)
    {
        return m_process.WaitForLine(text, timeoutMs, line);
    }
    [[nodiscard]] size_t Count(const std::string& text) const { return m_process.CountLines(text); }
    [[nodiscard]] std::vector<std::string> Lines() const { return m_process.Lines(); }
    // The first line that starts with `prefix`; "" when none does.
    [[nodiscard]] std::string FirstLine(const std::string& prefix) const;
    // Ends the host through its quit command; its exit code.
    int Quit();
    [[nodiscard]] testing_support::ChildProcess& Process() noexcept { return m_process; }
    [[nodiscard]] const std::string& Name() const noexcept { return m_name; }

private:
    std::string m_name;
    testing_support::ChildProcess m_process;
};

// The text of a host's overlay line for a button: "tab T overlay ID ..." fields as a map.
[[nodiscard]] std::map<std::string, std::string> ParseFields(const std::string& line);

class NorvixSystemTest : public ::testing::Test
{
protected:
    // Without the service, for the cases that only load the module in this process: the test program then has
    // no thread of its own beside the main one, which the 32-bit default set relies on (tests/CMakeLists.txt).
    explicit NorvixSystemTest(bool withService = true) : m_withService(withService) {}

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Settings the host answers; the defaults point the add-on at the service with short intervals.
    void SetSetting(const std::string& key, const std::string& value) { m_settings[key] = value; }
    // Starts a host with the current settings.
    Host& StartHost(int tabs = 1);
    // The shared status file and the install bubble's file.
    [[nodiscard]] static std::wstring StatusFilePath();
    [[nodiscard]] static std::wstring BubbleFilePath();

    // Requests that reached the service for a path ("/GetStatus", "/DoUpdate", "/track").
    [[nodiscard]] size_t Requests(const std::string& path) const { return m_service.RequestCount(path); }

    service::ProductService m_service;
    testing_support::TempFolder m_folder;
    std::vector<std::unique_ptr<Host>> m_hosts;

private:
    bool m_withService;
    std::map<std::string, std::string> m_settings;
    size_t m_settingsFiles = 0;
};

// What a host's overlay shows for one button, from its latest "tab T overlay ID ..." line.
struct OverlayState
{
    bool known = false;
    int icon = 0;
    std::string title;
    std::string tooltip;
    bool visible = false;
    bool enabled = false;
    bool tooltipShown = false;
};
[[nodiscard]] OverlayState LatestOverlay(const Host& host, int tab, int commandId);

// Waits until the latest overlay line of the button satisfies `condition`.
template <typename Condition>
[[nodiscard]] bool WaitForOverlay(
    const Host& host, int tab, int commandId, Condition condition, unsigned timeoutMs = 20000)
{
    return testing_support::WaitFor(
        [&] {
            const OverlayState state = LatestOverlay(host, tab, commandId);
            return state.known && condition(state);
        },
        timeoutMs);
}

// The host's command ids of the add-on's buttons.
constexpr int kPaviseButton = 103;
constexpr int kUpdateButton = 106;

// Icons of the status buttons.
constexpr int kIconGood = 1002;
constexpr int kIconUnknown = 1003;
constexpr int kIconAction = 1004;
constexpr int kFirstFrame = 1022;

}  // namespace integration
