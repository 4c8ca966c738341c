// NorvixBenchmark: the add-on's figures that are taken from inside Windows programs (scripts/benchmark takes
// the CPU figures from Linux). Registers Norvix.dll in this prefix, runs the product service in this process
// on a free port and prints one line per figure:
//
//   RESULT|id|figure|goal|min|median|max|unit
//
//   startup        CoCreateInstance of "Kel.Norvix" through the return of StartupToolbar (unlock included) in
//                  a host tab of this process, ieframe.dll loaded at start as a browser has it;
//                  with --no-browser-frame the host does not load it
//   click          a click on the update button in the Update state until POST /DoUpdate reaches the service
//   close          closing a tab whose control is idle
//   queries        status queries per interval for 1, 2, 4 and 8 KelHost.exe processes, one of them with a
//                  window kept busy
//
// The host does only what a browser's toolbar host does: its own reports and overlay watch are off.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "HostApp.h"
#include "HostTab.h"
#include "Output.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::wstring WindowsPath(const char* unixPath)
{
    std::wstring result = L"Z:";
    for (const char* c = unixPath; *c; ++c)
    {
        result += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    return result;
}

void Result(const char* id, const char* figure, const char* goal, std::vector<double> values, const char* unit)
{
    if (values.empty())
    {
        std::printf("RESULT|%s|%s|%s|||no value|%s\n", id, figure, goal, unit);
        return;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    std::printf("RESULT|%s|%s|%s|%.3f|%.3f|%.3f|%s\n", id, figure, goal, values.front(), median, values.back(), unit);
    std::fflush(stdout);
}

void PumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// Lets this thread's messages flow for `ms` milliseconds, asleep until one comes, as a browser's UI thread.
void IdleFor(unsigned ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
        {
            return;
        }
        (void)::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        PumpMessages();
    }
}

// Lets messages flow until `condition` holds; false after `timeoutMs`.
template <typename Condition>
bool PumpUntil(Condition condition, unsigned timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (Clock::now() >= deadline)
        {
            return false;
        }
        (void)::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

// The shared status file, removed so that each figure starts from no known state (the first pass polls).
void RemoveStatusFile()
{
    (void)win::File::Remove(GetWriteableFolder(L"KelToolbar", TRUE) + L"Norvix.status.config");
}

// Whether the install bubble is still to be shown for this user; sets it. An open bubble follows its button
// from a thread of its own, which is not what these figures are about.
int SetBubbleShowFlag(int flag)
{
    XToolbarBubbleConfigFile file;
    file.Open(GetWriteableFolder(L"KelToolbar", TRUE) + L"Norvix.install-bubble.config");
    (void)file.Load(false, true);
    const int before = file.GetRecord()->m_showFlag;
    file.GetRecord()->m_showFlag = flag;
    (void)file.Save(false);
    return before;
}

// The world of one run: the service, a scratch folder for settings files, the registered module, the install
// bubble marked as shown (restored afterwards).
class Bench
{
public:
    bool Start()
    {
        m_bubbleFlag = SetBubbleShowFlag(0);
        if (!m_service.Start(0))
        {
            std::printf("cannot start the service\n");
            return false;
        }
        m_service.SetDefinitions("green");
        m_service.SetProtection("enabled");
        m_module = ::LoadLibraryW(WindowsPath(NORVIX_DLL).c_str());
        const auto reg = m_module ? win::GetProc<RegisterFunction>(m_module, "DllRegisterServer") : nullptr;
        if (!reg || reg() != S_OK)
        {
            std::printf("cannot register %s\n", NORVIX_DLL);
            return false;
        }
        return true;
    }
    ~Bench()
    {
        if (m_module)
        {
            if (const auto unreg = win::GetProc<RegisterFunction>(m_module, "DllUnregisterServer"))
            {
                unreg();
            }
            ::FreeLibrary(m_module);
        }
        m_service.Stop();
        (void)SetBubbleShowFlag(m_bubbleFlag);
    }

    // A settings file pointing the add-on at the service.
    std::wstring Settings(int interval, int updateInterval)
    {
        const std::string base = win::WideToAnsi(m_service.BaseUrl(), CP_UTF8);
        std::ostringstream text;
        text << "KelTb.Url.Norvix.API=" << base << "\n"
             << "KelTb.Str.Norvix.Status.Default.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Retry.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Update.Interval=" << updateInterval << "\n"
             << "KelTb.Url.PaviseTracking=" << base << "track?but=BUT_ID&pos=P01\n"
             << "KelTb.Url.NovrixUpdateTracking=" << base << "track?but=BUT_ID&pos=P02\n";
        const std::wstring file = m_folder.File(win::Format(L"settings-%d.txt", m_files++));
        (void)win::File::WriteAll(file, text.str());
        return file;
    }

    service::ProductService& Service() noexcept { return m_service; }

private:
    service::ProductService m_service;
    testing_support::TempFolder m_folder;
    HMODULE m_module = nullptr;
    int m_files = 0;
    int m_bubbleFlag = 0;
};

// A host in this process, doing only what a browser's toolbar host does.
struct InProcessHost
{
    explicit InProcessHost(const std::wstring& settings, bool browserFrame)
    {
        kelhost::SetLineSink([](const std::wstring&) {});
        kelhost::HostOptions options;
        options.tabs = 0;
        options.settingsFile = settings;
        options.overlayWatch = false;
        options.buttonReports = false;
        options.browserFrame = browserFrame;
        app = std::make_unique<kelhost::HostApp>(options);
        started = app->Start() && SUCCEEDED(::CLSIDFromProgID(L"Kel.Norvix", &clsid));
    }
    ~InProcessHost()
    {
        app.reset();
        kelhost::SetLineSink({});
    }

    std::unique_ptr<kelhost::HostApp> app;
    CLSID clsid{};
    bool started = false;
};

void MeasureStartup(Bench& bench, bool browserFrame, int runs)
{
    InProcessHost host(bench.Settings(30, 30), browserFrame);
    if (!host.started)
    {
        std::printf("start-up: cannot prepare the host\n");
        return;
    }
    std::vector<double> times;
    double first = 0;
    for (int i = 0; i < runs; ++i)
    {
        kelhost::HostTab tab(*host.app, i + 1);
        if (!tab.Open())
        {
            break;
        }
        const auto start = Clock::now();
        tab.StartControl(host.clsid);
        const double ms = MsSince(start);
        if (!tab.HasControl())
        {
            std::printf("start-up: the control did not start\n");
            break;
        }
        if (i == 0)
        {
            first = ms;
        }
        else
        {
            times.push_back(ms);
        }
        PumpMessages();
        tab.Close();
        PumpMessages();
    }
    if (browserFrame)
    {
        Result("startup-browser", "start-up, host with ieframe.dll loaded (median of 199 after the first)", "<= 5 ms",
            times, "ms");
    }
    else
    {
        Result("startup-plain", "start-up, host without ieframe.dll (median of 199 after the first)", "<= 15 ms", times,
            "ms");
        Result(
            "startup-plain-first", "start-up, first control of a host without ieframe.dll", "(shown)", {first}, "ms");
    }
}

// Clicks on the update button in the Update state until the request reaches the service; between clicks the
// service says "yellow" again and the next poll (the update interval is 1 s) brings the state back.
void MeasureClick(Bench& bench, int rounds)
{
    auto& service = bench.Service();
    service.SetDefinitions("yellow");
    RemoveStatusFile();
    InProcessHost host(bench.Settings(600, 1), true);
    kelhost::HostTab tab(*host.app, 1);
    if (!host.started || !tab.Open())
    {
        std::printf("click: cannot prepare the host\n");
        return;
    }
    tab.StartControl(host.clsid);
    std::atomic<long long> posted{0};
    service.SetLog([&](const std::string& line) {
        if (line.find("/DoUpdate") != std::string::npos)
        {
            posted = Clock::now().time_since_epoch().count();
        }
    });
    const kelhost::ButtonDefinition* update = kelhost::FindButton(L"update");
    std::vector<double> times;
    for (int round = 0; round < rounds && update; ++round)
    {
        // The button is enabled again once a poll has answered "yellow".
        if (!PumpUntil(
                [&] {
                    const auto state = tab.Toolbar().State(update->id);
                    const HWND overlay = tab.Toolbar().OverlayOver(update->id);
                    return state && overlay && ::IsWindowEnabled(overlay);
                },
                30000))
        {
            std::printf("click: the update button was not enabled again\n");
            break;
        }
        IdleFor(300);
        posted = 0;
        std::wstring how;
        const auto start = Clock::now();
        if (!tab.Click(*update, how) || !PumpUntil([&] { return posted.load() != 0; }, 10000))
        {
            std::printf("click: no update request\n");
            break;
        }
        const Clock::time_point at{Clock::duration{posted.load()}};
        times.push_back(std::chrono::duration<double, std::milli>(at - start).count());
    }
    service.SetLog({});
    service.SetDefinitions("green");
    tab.Close();
    Result("click", "click on the update button to POST DoUpdate at the service", "<= 150 ms", times, "ms");
}

void MeasureClose(Bench& bench, int rounds)
{
    InProcessHost host(bench.Settings(30, 30), true);
    if (!host.started)
    {
        std::printf("close: cannot prepare the host\n");
        return;
    }
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
    {
        kelhost::HostTab tab(*host.app, round + 1);
        if (!tab.Open())
        {
            break;
        }
        tab.StartControl(host.clsid);
        IdleFor(700);  // past the first pass and its answer: idle
        const auto start = Clock::now();
        tab.Close();
        times.push_back(MsSince(start));
    }
    Result("close", "close a tab whose control is idle", "<= 20 ms", times, "ms");
}

// --- queries per interval -------------------------------------------------------------------------------------
class HostProcess
{
public:
    bool Start(const std::wstring& settings)
    {
        const std::wstring line = L"\"" + WindowsPath(KELHOST_EXE) +
            L"\" --tabs 1 --no-overlay-watch "
            L"--no-button-reports --settings \"" +
            settings + L"\"";
        return m_process.Start(line) && m_process.WaitForLine("ready tabs=1", 60000);
    }
    void Send(const std::string& line) { (void)m_process.Send(line); }
    void Quit()
    {
        (void)m_process.Send("quit");
        m_process.CloseInput();
        (void)m_process.WaitForExit(60000);
    }

private:
    testing_support::ChildProcess m_process;
};

void MeasureQueries(Bench& bench, int intervals)
{
    const int interval = 2;
    const std::wstring settings = bench.Settings(interval, interval);
    std::vector<double> perInterval;
    for (const int processes : {1, 2, 4, 8})
    {
        std::vector<std::unique_ptr<HostProcess>> hosts;
        for (int i = 0; i < processes; ++i)
        {
            hosts.push_back(std::make_unique<HostProcess>());
            if (!hosts.back()->Start(settings))
            {
                std::printf("queries: a host did not start\n");
                return;
            }
        }
        ::Sleep(interval * 1000);  // every host past its first pass
        if (processes > 1)
        {
            // One window handles no message for the whole count: it neither reloads the file nor announces.
            hosts.front()->Send("busy " + std::to_string((intervals + 2) * interval * 1000));
        }
        auto& service = bench.Service();
        const size_t before = service.RequestCount("/GetStatus");
        ::Sleep(static_cast<DWORD>(interval * intervals * 1000));
        const size_t queries = service.RequestCount("/GetStatus") - before;
        const double rate = static_cast<double>(queries) / intervals;
        perInterval.push_back(rate);
        std::printf("queries: %d process%s, %zu queries in %d intervals\n", processes, processes == 1 ? "" : "es",
            queries, intervals);
        for (auto& host : hosts)
        {
            host->Quit();
        }
    }
    Result("queries", "queries per interval, 1/2/4/8 processes, one window busy", "1.00", perInterval, "per interval");
}
}  // namespace

int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    const bool browserFrame = !(argc > 2 && std::string(argv[2]) == "--no-browser-frame");
    if (::OleInitialize(nullptr) != S_OK)
    {
        return 1;
    }
    {
        Bench bench;
        if (!bench.Start())
        {
            ::OleUninitialize();
            return 1;
        }
        if (only.empty() || only == "startup")
        {
            MeasureStartup(bench, browserFrame, 200);
        }
        if (only.empty() || only == "click")
        {
            MeasureClick(bench, 10);
        }
        if (only.empty() || only == "close")
        {
            MeasureClose(bench, 20);
        }
        if (only.empty() || only == "queries")
        {
            MeasureQueries(bench, 10);
        }
    }
    ::OleUninitialize();
    return 0;
}
