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
//   close          closing a tab whose control is idle, and one whose status query the service holds
//   queries        status queries per interval for 1, 2, 4 and 8 KelHost.exe processes, one of them with a
//                  window kept busy
//   faults         for each way the service misbehaves, two KelHost.exe processes: how long until every
//                  window shows it, and the longest any window then goes without a fresh status
//   threads        the threads of a KelHost.exe process while the service answers without end (THREAD_SECONDS
//                  from the environment, default 600)
//   tabs           the threads of a KelHost.exe process after 12 tabs opened and closed while the service drips
//   events         the UI thread's handling of "UpdateStatus" in a host tab of this process, with the status
//                  file as written and padded to 512 MiB
//
// The host does only what a browser's toolbar host does: its own reports and overlay watch are off.

#include "ProductService.h"  // first: it brings winsock2.h, which must come before windows.h

#include "HostApp.h"
#include "HostTab.h"
#include "Output.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "toolbar/HostToolbarInterface.h"
#include "support/ChildProcess.h"
#include "support/ProcessThreads.h"
#include "support/TempFolder.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    (void)win::File::Remove(
        platform::GetWriteableFolder(L"KelToolbar", /*lowIntegrity=*/TRUE) + L"Norvix.status.config");
}

// Whether the install bubble is still to be shown for this user; sets it. An open bubble follows its button
// from a thread of its own, which is not what these figures are about.
int SetBubbleShowFlag(int flag)
{
    bubble::XToolbarBubbleConfigFile file;
    file.Open(platform::GetWriteableFolder(L"KelToolbar", /*lowIntegrity=*/TRUE) + L"Norvix.install-bubble.config");
    (void)file.Load(/*report=*/false, /*resetOnFailure=*/true);
    const int before = file.GetRecord()->m_showFlag;
    file.GetRecord()->m_showFlag = flag;
    (void)file.Save(/*report=*/false);
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
    std::wstring Settings(int interval, int updateInterval, int timeoutSecs = 3)
    {
        const std::string base = win::WideToAnsi(m_service.BaseUrl(), CP_UTF8);
        std::ostringstream text;
        text << "KelTb.Url.Norvix.API=" << base << "\n"
             << "KelTb.Str.Norvix.Status.Default.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Retry.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Update.Interval=" << updateInterval << "\n"
             << "KelTb.Str.API.HTTP.Timeout.Secs=" << timeoutSecs << "\n"
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

// Whether a host's tab has a browser frame window around its toolbar.
enum class Frame
{
    Browser,
    None,
};

// A host in this process, doing only what a browser's toolbar host does.
struct InProcessHost
{
    explicit InProcessHost(const std::wstring& settings, Frame frame)
    {
        kelhost::SetLineSink([](const std::wstring&) {});
        kelhost::HostOptions options;
        options.tabs = 0;
        options.settingsFile = settings;
        options.overlayWatch = false;
        options.buttonReports = false;
        options.browserFrame = frame == Frame::Browser;
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

void MeasureStartup(Bench& bench, Frame frame, int runs)
{
    InProcessHost host(bench.Settings(30, 30), frame);
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
    if (frame == Frame::Browser)
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
    InProcessHost host(bench.Settings(600, 1), Frame::Browser);
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
                    return state && overlay && ::GetPropW(overlay, host::kOverlayEnabledProperty);
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
    InProcessHost host(bench.Settings(30, 30), Frame::Browser);
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

    // The service holds every query; its time-out (60 s) would end it only after a minute.
    auto& service = bench.Service();
    service.SetFault(service::FaultMode::Hang);
    InProcessHost held(bench.Settings(0, 0, 60), Frame::Browser);
    times.clear();
    for (int round = 0; round < rounds && held.started; ++round)
    {
        RemoveStatusFile();
        kelhost::HostTab tab(*held.app, round + 1);
        if (!tab.Open())
        {
            break;
        }
        const size_t before = service.RequestCount("/GetStatus");
        tab.StartControl(held.clsid);
        if (!PumpUntil([&] { return service.RequestCount("/GetStatus") > before; }, 10000))
        {
            std::printf("close: no query reached the service\n");
            break;
        }
        IdleFor(100);
        const auto start = Clock::now();
        tab.Close();
        times.push_back(MsSince(start));
    }
    service.SetFault(service::FaultMode::None);
    Result("close-held", "close a tab whose status query the service holds", "<= 20 ms", times, "ms");
}

// --- queries per interval -------------------------------------------------------------------------------------
class HostProcess
{
public:
    enum class Overlays
    {
        Unwatched,
        Watched,  // the host reports what its overlays show ("tab 1 overlay ..." lines)
    };
    bool Start(const std::wstring& settings, Overlays overlays = Overlays::Unwatched)
    {
        const std::wstring line = L"\"" + WindowsPath(KELHOST_EXE) + L"\" --tabs 1 " +
            (overlays == Overlays::Watched ? L"" : L"--no-overlay-watch ") + L"--no-button-reports --settings \"" +
            settings + L"\"";
        return m_process.Start(line) && m_process.WaitForLine("ready tabs=1", 60000);
    }
    void Send(const std::string& line) { (void)m_process.Send(line); }
    [[nodiscard]] bool WaitForLine(const std::string& text, unsigned timeoutMs)
    {
        return m_process.WaitForLine(text, timeoutMs);
    }
    // The title the update button shows now, from the latest overlay line.
    [[nodiscard]] std::string UpdateTitle() const
    {
        const auto lines = m_process.Lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        {
            if (it->rfind("tab 1 overlay 106 ", 0) == 0)
            {
                const auto start = it->find("title=\"");
                return start == std::string::npos ? "" : it->substr(start + 7, it->find('"', start + 7) - start - 7);
            }
        }
        return {};
    }
    [[nodiscard]] size_t Events() const { return m_process.CountLines("event \"UpdateStatus\" hr="); }
    [[nodiscard]] DWORD Id() const noexcept { return m_process.Id(); }
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

// --- a misbehaving service ------------------------------------------------------------------------------------
void MeasureFaults(Bench& bench)
{
    constexpr int kInterval = 2;
    constexpr int kTimeout = 1;
    constexpr double kBoundMs = (kTimeout + kInterval + 1) * 1000.0;
    auto& service = bench.Service();
    service.SetDefinitions("green");
    service.SetHugeBytes(64u << 20);
    service.SetSlowDelayMs(500);
    RemoveStatusFile();
    const std::wstring settings = bench.Settings(kInterval, kInterval, kTimeout);
    std::vector<std::unique_ptr<HostProcess>> hosts;
    for (int i = 0; i < 2; ++i)
    {
        hosts.push_back(std::make_unique<HostProcess>());
        if (!hosts.back()->Start(settings, HostProcess::Overlays::Watched))
        {
            std::printf("faults: a host did not start\n");
            return;
        }
    }
    const auto every = [&](auto condition) {
        return std::all_of(hosts.begin(), hosts.end(), [&](const auto& host) { return condition(*host); });
    };
    const auto healthy = [](const HostProcess& host) { return host.UpdateTitle() == "Daily update complete"; };
    const auto failing = [](const HostProcess& host) {
        const std::string title = host.UpdateTitle();
        return title == "Norvix is unavailable" || title == "Norvix reported an error";
    };
    std::vector<double> shown;
    std::vector<double> gaps;
    for (const auto fault : {service::FaultMode::DripHeaders, service::FaultMode::Stall, service::FaultMode::Hang,
             service::FaultMode::Endless, service::FaultMode::Huge, service::FaultMode::Drip,
             service::FaultMode::NoContent})
    {
        if (!PumpUntil([&] { return every(healthy); }, 60000))
        {
            std::printf("faults: the windows did not come back before %s\n", service::FaultModeName(fault));
            break;
        }
        const auto start = Clock::now();
        service.SetFault(fault);
        if (!PumpUntil([&] { return every(failing); }, 60000))
        {
            std::printf("faults: %s never showed\n", service::FaultModeName(fault));
            continue;
        }
        const double shownMs = MsSince(start);
        shown.push_back(shownMs);
        // While the fault lasts every window is told again after each query: the longest wait for it.
        std::vector<size_t> events;
        std::vector<Clock::time_point> last(hosts.size(), Clock::now());
        double gap = 0;
        for (const auto& host : hosts)
        {
            events.push_back(host->Events());
        }
        const auto watchEnd = Clock::now() + std::chrono::seconds(4 * (kInterval + kTimeout + 1));
        while (Clock::now() < watchEnd)
        {
            IdleFor(10);
            for (size_t i = 0; i < hosts.size(); ++i)
            {
                const size_t now = hosts[i]->Events();
                if (now != events[i])
                {
                    events[i] = now;
                    last[i] = Clock::now();
                }
                gap = std::max(gap, std::chrono::duration<double, std::milli>(Clock::now() - last[i]).count());
            }
        }
        gaps.push_back(gap);
        std::printf("faults: %s shown in every window after %.0f ms; longest wait for a fresh status %.0f ms\n",
            service::FaultModeName(fault), shownMs, gap);
        service.SetFault(service::FaultMode::None);
    }
    for (auto& host : hosts)
    {
        host->Quit();
    }
    const std::string bound = "<= " + std::to_string(static_cast<int>(kBoundMs)) + " ms";
    Result("fault-shown", "a fault of the service shown in every window (time-out 1 s, interval 2 s)", bound.c_str(),
        shown, "ms");
    Result(
        "fault-fresh", "longest any window waits for a fresh status while the fault lasts", bound.c_str(), gaps, "ms");
}

void MeasureThreads(Bench& bench, unsigned seconds)
{
    auto& service = bench.Service();
    RemoveStatusFile();
    service.SetFault(service::FaultMode::Endless);
    HostProcess host;
    if (!host.Start(bench.Settings(2, 2, 1)))
    {
        std::printf("threads: the host did not start\n");
        return;
    }
    IdleFor(5000);  // past the first queries
    std::vector<double> counts;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end)
    {
        counts.push_back(static_cast<double>(testing_support::ThreadCount(host.Id())));
        IdleFor(1000);
    }
    std::printf("threads: %zu samples, first %.0f, last %.0f, queries %zu\n", counts.size(),
        counts.empty() ? 0.0 : counts.front(), counts.empty() ? 0.0 : counts.back(),
        service.RequestCount("/GetStatus"));
    host.Quit();
    service.SetFault(service::FaultMode::None);
    Result("threads", ("threads of a host over " + std::to_string(seconds) + " s of an endless answer").c_str(), "flat",
        counts, "threads");
}
// The threads of a KelHost.exe process in which 12 tabs are opened and closed one after another while the service
// drips every answer: each tab's query is abandoned at its deadline, and all of them together leave at most one
// request running (shown as threads above those before the first tab opened).
void MeasureTabs(Bench& bench)
{
    auto& service = bench.Service();
    RemoveStatusFile();
    service.SetFault(service::FaultMode::Drip);
    HostProcess host;
    if (!host.Start(bench.Settings(2, 2, 1)))
    {
        std::printf("tabs: the host did not start\n");
        return;
    }
    IdleFor(5000);  // the first tab's query abandoned, and its thread still running
    const double before = static_cast<double>(testing_support::ThreadCount(host.Id()));
    for (int tab = 2; tab <= 13; ++tab)
    {
        host.Send("open");
        if (!host.WaitForLine("ok open " + std::to_string(tab), 30000))
        {
            std::printf("tabs: tab %d did not open\n", tab);
            break;
        }
        IdleFor(2500);  // an interval: some tab's control queries and is left waiting
        host.Send("close " + std::to_string(tab));
        (void)host.WaitForLine("ok close " + std::to_string(tab), 30000);
    }
    std::vector<double> added;
    for (int sample = 0; sample < 5; ++sample)
    {
        added.push_back(static_cast<double>(testing_support::ThreadCount(host.Id())) - before);
        IdleFor(1000);
    }
    std::printf("tabs: %.0f threads before, queries %zu\n", before, service.RequestCount("/GetStatus"));
    host.Quit();
    service.SetFault(service::FaultMode::None);
    Result("tabs", "threads of a host after 12 tabs opened and closed while the service drips, above before", "<= 1",
        added, "threads");
}

// How long the UI thread takes to handle one "UpdateStatus" (a reload of the status file and a refresh of the
// buttons) with the file as the add-on writes it, and then padded to 512 MiB by another program: a padded file is
// refused unread, so the two must be alike.
void MeasureEvents(Bench& bench, int rounds)
{
    InProcessHost host(bench.Settings(30, 30), Frame::Browser);
    if (!host.started)
    {
        std::printf("events: cannot prepare the host\n");
        return;
    }
    RemoveStatusFile();
    kelhost::HostTab tab(*host.app, 1);
    if (!tab.Open())
    {
        return;
    }
    tab.StartControl(host.clsid);
    IdleFor(700);  // past the first pass and its answer: the next is due in 30 s
    const auto handle = [&] {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round)
        {
            const auto start = Clock::now();
            tab.DeliverEvent({L"UpdateStatus", 1});
            times.push_back(MsSince(start));
            PumpMessages();
        }
        return times;
    };
    Result("event", "the UI thread handling \"UpdateStatus\", the status file as written", "(shown)", handle(), "ms");
    const std::wstring path =
        platform::GetWriteableFolder(L"KelToolbar", /*lowIntegrity=*/TRUE) + L"Norvix.status.config";
    win::File padded;
    if (!padded.Open(path, win::FileAccess::Write, win::FileShare::DenyNone, win::FileCreate::OpenExisting) ||
        !padded.Seek(std::int64_t{512} << 20) || !::SetEndOfFile(padded.Handle()))
    {
        std::printf("events: cannot pad the status file\n");
        return;
    }
    padded.Close();
    Result("event-padded", "the UI thread handling \"UpdateStatus\", the status file padded to 512 MiB",
        "<= 50 ms, as written", handle(), "ms");
    tab.Close();
    RemoveStatusFile();
}
}  // namespace

int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    const Frame frame = argc > 2 && std::string(argv[2]) == "--no-browser-frame" ? Frame::None : Frame::Browser;
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
            MeasureStartup(bench, frame, 200);
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
        if (only.empty() || only == "faults")
        {
            MeasureFaults(bench);
        }
        if (only.empty() || only == "events")
        {
            MeasureEvents(bench, 50);
        }
        if (only.empty() || only == "tabs")
        {
            MeasureTabs(bench);
        }
        if (only.empty() || only == "threads")
        {
            char seconds[16] = "";
            const DWORD length = ::GetEnvironmentVariableA("THREAD_SECONDS", seconds, sizeof(seconds));
            MeasureThreads(bench, length > 0 && length < sizeof(seconds) ? std::strtoul(seconds, nullptr, 10) : 600);
        }
    }
    ::OleUninitialize();
    return 0;
}
