#pragma once
// HostApp: the host process. It holds the settings, the macro values and the tabs, reads commands that the
// input thread hands over, and runs them one after another from the UI thread's message loop.
//
// Work that calls into add-on controls (starting them, delivering events, releasing them) and the commands
// run only from the host's own loop, never from a loop that a control runs while it waits (a control that
// waits for its worker pumps messages): queued work waits until no control call is in progress. A `wait`
// command holds back later commands, not events, so controls keep working while it runs.

#include "HostOptions.h"
#include "HostSettings.h"
#include "HostTab.h"
#include "MacroExpander.h"
#include "PerUserClasses.h"

#include "win/Handle.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelhost
{

class HostApp
{
public:
    explicit HostApp(HostOptions options);
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;
    ~HostApp();

    // Loads the settings, makes the host's message window and queues the opening of the first tabs. False
    // (with a report line) when the settings file cannot be read or the window cannot be made.
    [[nodiscard]] bool Start();
    // The message loop; returns the process exit code after quit.
    int Run();

    // The input thread's way in (any thread): a command line, or the end of the input.
    [[nodiscard]] HWND MessageWindow() const noexcept { return m_window; }
    static void PostLine(HWND window, std::wstring line);
    static void PostEndOfInput(HWND window);

    // Queues work for the host's loop.
    void Post(std::function<void()> work);
    // Runs one command line now (the loop calls it); false when the host is to stop.
    bool Execute(const std::wstring& line);

    [[nodiscard]] HostTab* FindTab(int number) noexcept;
    [[nodiscard]] const HostOptions& Options() const noexcept { return m_options; }
    void CloseTab(int number);
    [[nodiscard]] std::shared_ptr<const HostSettings> Settings() const noexcept { return m_settings; }
    [[nodiscard]] std::shared_ptr<const MacroValues> Macros() const noexcept { return m_macros; }
    // Classes registered for the current user only, where COM does not find them (see PerUserClasses).
    [[nodiscard]] PerUserClasses& UserClasses() noexcept { return m_userClasses; }

    // Marks a call into a control; queued work waits until the outermost call has returned.
    class ControlCall
    {
    public:
        explicit ControlCall(HostApp& app) noexcept : m_app(app) { ++m_app.m_controlCalls; }
        ControlCall(const ControlCall&) = delete;
        ControlCall& operator=(const ControlCall&) = delete;
        ~ControlCall();

    private:
        HostApp& m_app;
    };

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Drain();
    void RequestDrain() noexcept;
    HostTab* OpenTab();
    void Quit();
    [[nodiscard]] bool ResolveControlClass(CLSID& clsid);
    bool ForTabs(const std::wstring& which, const std::wstring& verb, const std::function<void(HostTab&)>& action);

    HostOptions m_options;
    win::ModuleHandle m_browserFrame;
    // Before the tabs: the modules it loaded outlive the controls made from them.
    PerUserClasses m_userClasses;
    std::shared_ptr<HostSettings> m_settings = std::make_shared<HostSettings>();
    std::shared_ptr<MacroValues> m_macros = std::make_shared<MacroValues>();
    std::vector<std::unique_ptr<HostTab>> m_tabs;
    int m_nextTab = 1;
    HWND m_window = nullptr;
    std::deque<std::function<void()>> m_work;
    std::deque<std::wstring> m_commands;
    int m_controlCalls = 0;
    bool m_draining = false;
    bool m_waiting = false;
    bool m_quitting = false;
};

}  // namespace kelhost
