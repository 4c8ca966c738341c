// NorvixBenchmark: the add-on's figures, printed (no pass or fail). Registers Norvix.dll in this prefix,
// runs the product service in this process on a free port and measures:
//   - start-up: CoCreateInstance of "Kel.Norvix" through the return of StartupToolbar, in this process, with
//     the host's own tab, toolbar window, browser and host objects (KelHost's code, linked in);
//   - a change at the service reaching every tab of two KelHost.exe processes;
//   - status queries reaching the service per interval for 1, 2 and 4 KelHost.exe processes;
//   - CPU time of one idle control per minute (a KelHost with one tab, less one without a control);
//   - closing a tab while idle and while its status query hangs.
// Times of host output lines are taken when the line arrives here through the pipe.

#include "ProductService.h"

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

struct Summary
{
    double min = 0, median = 0, max = 0;
    size_t count = 0;
};

Summary Summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
    {
        return s;
    }
    std::sort(values.begin(), values.end());
    s.count = values.size();
    s.min = values.front();
    s.max = values.back();
    s.median = values.size() % 2 ? values[values.size() / 2]
                                 : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
    return s;
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

// Whether the install bubble is still to be shown for this user; sets it. The bubble, while open, follows
// its button from a thread of its own, which would be counted as the idle control's work.
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

// The world of one run: the service, a scratch folder for settings files, the registered module, the
// install bubble marked as shown (restored afterwards).
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

    // A settings file pointing the add-on at the service; `interval` seconds between polls.
    std::wstring Settings(int interval, int timeoutSecs = 2)
    {
        const std::string base = win::WideToAnsi(m_service.BaseUrl(), CP_UTF8);
        std::ostringstream text;
        text << "KelTb.Url.Norvix.API=" << base << "\n"
             << "KelTb.Str.API.HTTP.Timeout.Secs=" << timeoutSecs << "\n"
             << "KelTb.Str.Norvix.Status.Default.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Retry.Interval=" << interval << "\n"
             << "KelTb.Str.Norvix.Status.Update.Interval=" << interval << "\n"
             << "KelTb.Url.PaviseTracking=" << base << "track?cb={cbid}&but=BUT_ID&pos=P01\n"
             << "KelTb.Url.NovrixUpdateTracking=" << base << "track?cb={cbid}&but=BUT_ID&pos=P02\n";
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

class HostProcess
{
public:
    bool Start(const std::wstring& settings, int tabs, bool control = true)
    {
        std::wstring line = L"\"" + WindowsPath(KELHOST_EXE) + L"\" --tabs " + std::to_wstring(tabs) +
                            L" --settings \"" + settings + L"\"";
        if (!control)
        {
            line += L" --no-control";
        }
        std::string ready = "ready tabs=";
        ready += std::to_string(tabs);
        return m_process.Start(line) && m_process.WaitForLine(ready, 60000);
    }
    testing_support::ChildProcess& Process() noexcept { return m_process; }
    bool WaitFor(const std::string& text, unsigned timeoutMs = 30000) { return m_process.WaitForLine(text, timeoutMs); }
    void Quit()
    {
        m_process.Send("quit");
        m_process.CloseInput();
        (void)m_process.WaitForExit(60000);
    }

private:
    testing_support::ChildProcess m_process;
};

std::string OverlayPrefix(int tab, int id)
{
    return "tab " + std::to_string(tab) + " overlay " + std::to_string(id) + " ";
}

// Waits until the latest overlay line of a tab's button carries `title`.
bool WaitForTitle(HostProcess& host, int tab, int id, const std::string& title, unsigned timeoutMs)
{
    const std::string prefix = OverlayPrefix(tab, id);
    const std::string wanted = "title=\"" + title + "\"";
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        const auto lines = host.Process().Lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        {
            if (it->rfind(prefix, 0) == 0)
            {
                if (it->find(wanted) != std::string::npos)
                {
                    return true;
                }
                break;
            }
        }
        if (Clock::now() >= deadline)
        {
            return false;
        }
        ::Sleep(2);
    }
}

// --- start-up ---------------------------------------------------------------------------------------------
void MeasureStartup(Bench& bench, int runs)
{
    kelhost::SetLineSink([](const std::wstring&) {});
    kelhost::HostOptions options;
    options.tabs = 0;
    options.settingsFile = bench.Settings(30);
    kelhost::HostApp app(options);
    CLSID clsid{};
    if (!app.Start() || FAILED(::CLSIDFromProgID(L"Kel.Norvix", &clsid)))
    {
        kelhost::SetLineSink({});
        std::printf("start-up: cannot prepare the host\n");
        return;
    }
    std::vector<double> times;
    double first = 0;
    for (int i = 0; i < runs; ++i)
    {
        kelhost::HostTab tab(app, i + 1);
        if (!tab.Open())
        {
            std::printf("start-up: cannot open a tab\n");
            break;
        }
        const auto start = Clock::now();
        tab.StartControl(clsid);
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
    // The creation alone, for comparison: the class object's work without the toolbar's start.
    std::vector<double> createOnly;
    for (int i = 0; i < runs; ++i)
    {
        const auto start = Clock::now();
        IUnknown* created = nullptr;
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                reinterpret_cast<void**>(&created))))
        {
            break;
        }
        createOnly.push_back(MsSince(start));
        created->Release();
    }
    kelhost::SetLineSink({});
    const Summary c = Summarise(createOnly);
    // The first and the last quarter apart: a start-up that slows down over the creations leaves something.
    const size_t quarter = times.size() / 4;
    const Summary early = Summarise({times.begin(), times.begin() + static_cast<std::ptrdiff_t>(quarter)});
    const Summary late = Summarise({times.end() - static_cast<std::ptrdiff_t>(quarter), times.end()});
    const Summary s = Summarise(times);
    std::printf("start-up, CoCreateInstance through StartupToolbar (unlock call included), in-process host tab:\n"
                "  first creation (module loaded) %.2f ms; then %zu creations: median %.2f ms, min %.2f, max %.2f\n"
                "  median of the first quarter %.2f ms, of the last quarter %.2f ms\n"
                "  CoCreateInstance alone: median %.3f ms over %zu creations\n",
        first, s.count, s.median, s.min, s.max, early.median, late.median, c.median, c.count);
}

// --- a change reaching every tab of two processes -----------------------------------------------------------
void MeasureChange(Bench& bench, int rounds)
{
    const int interval = 2;
    const std::wstring settings = bench.Settings(interval);
    HostProcess hosts[2];
    for (auto& host : hosts)
    {
        if (!host.Start(settings, 2))
        {
            std::printf("change: a host did not start\n");
            return;
        }
    }
    auto& service = bench.Service();
    std::atomic<long long> lastQuery{0};
    service.SetLog([&](const std::string& line) {
        if (line.find("/GetStatus") != std::string::npos)
        {
            lastQuery = Clock::now().time_since_epoch().count();
        }
    });
    for (auto& host : hosts)
    {
        for (int tab = 1; tab <= 2; ++tab)
        {
            (void)WaitForTitle(host, tab, 103, "Pavise Activated", 30000);
        }
    }
    std::vector<double> fromChange, fromQuery;
    bool enabled = true;
    for (int round = 0; round < rounds; ++round)
    {
        enabled = !enabled;
        const std::string title = enabled ? "Pavise Activated" : "Pavise Deactivated";
        const auto start = Clock::now();
        const long long queriesBefore = lastQuery.load();
        service.SetProtection(enabled ? "enabled" : "disabled");
        bool all = true;
        for (auto& host : hosts)
        {
            for (int tab = 1; tab <= 2; ++tab)
            {
                all = WaitForTitle(host, tab, 103, title, 30000) && all;
            }
        }
        const auto end = Clock::now();
        if (!all)
        {
            std::printf("change: not every tab showed the change\n");
            break;
        }
        fromChange.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        const long long query = lastQuery.load();
        if (query != queriesBefore)
        {
            const Clock::time_point queried{Clock::duration{query}};
            fromQuery.push_back(std::chrono::duration<double, std::milli>(end - queried).count());
        }
        ::Sleep(static_cast<DWORD>(300 + 400 * round % 1300));  // changes at varied points of the interval
    }
    service.SetLog({});
    const Summary a = Summarise(fromChange);
    const Summary b = Summarise(fromQuery);
    std::printf("a change at the service to all 4 tabs of 2 host processes (poll interval %d s), %zu changes:\n"
                "  from the change: median %.0f ms, min %.0f, max %.0f\n"
                "  from the status query that saw it: median %.1f ms, min %.1f, max %.1f\n",
        interval, a.count, a.median, a.min, a.max, b.median, b.min, b.max);
    for (auto& host : hosts)
    {
        host.Quit();
    }
}

// --- queries per interval -------------------------------------------------------------------------------------
void MeasureQueries(Bench& bench, int processes, int intervals)
{
    const int interval = 2;
    const std::wstring settings = bench.Settings(interval);
    std::vector<std::unique_ptr<HostProcess>> hosts;
    for (int i = 0; i < processes; ++i)
    {
        hosts.push_back(std::make_unique<HostProcess>());
        if (!hosts.back()->Start(settings, 1))
        {
            std::printf("queries: a host did not start\n");
            return;
        }
    }
    ::Sleep(interval * 1000);  // every host past its first pass
    auto& service = bench.Service();
    const size_t before = service.RequestCount("/GetStatus");
    ::Sleep(static_cast<DWORD>(interval * intervals * 1000));
    const size_t queries = service.RequestCount("/GetStatus") - before;
    std::printf("  %d host process%s: %zu queries in %d intervals of %d s = %.2f per interval\n", processes,
        processes == 1 ? "" : "es", queries, intervals, interval, static_cast<double>(queries) / intervals);
    for (auto& host : hosts)
    {
        host->Quit();
    }
}

// --- idle CPU -----------------------------------------------------------------------------------------------------
double CpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
    {
        return -1;
    }
    auto value = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

// Lets messages flow for `ms` milliseconds the way a browser's UI thread waits: asleep until a message comes.
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

// The control runs in this process (Wine reports no CPU times for other processes), with the service idle in
// the same process: this process's CPU over a quiet period with one tab, less the same period without one.
void MeasureIdleCpu(Bench& bench, unsigned seconds)
{
    kelhost::SetLineSink([](const std::wstring&) {});
    kelhost::HostOptions options;
    options.tabs = 0;
    options.settingsFile = bench.Settings(30);
    kelhost::HostApp app(options);
    CLSID clsid{};
    if (!app.Start() || FAILED(::CLSIDFromProgID(L"Kel.Norvix", &clsid)))
    {
        kelhost::SetLineSink({});
        std::printf("idle CPU: cannot prepare the host\n");
        return;
    }
    const HANDLE self = ::GetCurrentProcess();
    IdleFor(1000);
    const double base0 = CpuSeconds(self);
    IdleFor(seconds * 1000);
    const double baseline = CpuSeconds(self) - base0;

    double used = -1;
    size_t queries = 0;
    {
        kelhost::HostTab tab(app, 1);
        if (tab.Open())
        {
            tab.StartControl(clsid);
            IdleFor(3000);  // past the start-up work and the first answer
            const size_t before = bench.Service().RequestCount("/GetStatus");
            const double used0 = CpuSeconds(self);
            IdleFor(seconds * 1000);
            used = CpuSeconds(self) - used0;
            queries = bench.Service().RequestCount("/GetStatus") - before;
            tab.Close();
            PumpMessages();
        }
    }
    kelhost::SetLineSink({});
    const double scale = 60.0 / seconds;
    std::printf("idle CPU over %u s, scaled to a minute (poll interval 30 s; %zu queries in the window):\n"
                "  with one control %.1f ms, without %.1f ms: the control uses %.1f ms of CPU per minute\n",
        seconds, queries, used * scale * 1000, baseline * scale * 1000, (used - baseline) * scale * 1000);
}

// --- closing a tab --------------------------------------------------------------------------------------------------
void MeasureClose(Bench& bench, int rounds)
{
    auto& service = bench.Service();
    const int timeoutSecs = 2;
    const std::wstring settings = bench.Settings(2, timeoutSecs);
    HostProcess host;
    if (!host.Start(settings, 1))
    {
        std::printf("close: the host did not start\n");
        return;
    }
    (void)WaitForTitle(host, 1, 106, "Daily update complete", 30000);
    std::vector<double> idle, hanging;
    int next = 1;
    for (int round = 0; round < rounds; ++round)
    {
        const auto start = Clock::now();
        host.Process().Send("close " + std::to_string(next));
        if (!host.WaitFor("tab " + std::to_string(next) + " closed", 30000))
        {
            std::printf("close: the tab did not close\n");
            return;
        }
        idle.push_back(MsSince(start));
        host.Process().Send("open");
        ++next;
        if (!host.WaitFor("tab " + std::to_string(next) + " startup", 30000))
        {
            return;
        }
        ::Sleep(200);
    }
    service.SetFault(service::FaultMode::Hang);
    for (int round = 0; round < rounds; ++round)
    {
        // Wait for this tab's query to reach the service, then close the tab while it hangs.
        const size_t before = service.RequestCount("/GetStatus");
        const auto waitStart = Clock::now();
        while (service.RequestCount("/GetStatus") == before && MsSince(waitStart) < 30000)
        {
            ::Sleep(1);
        }
        const auto start = Clock::now();
        host.Process().Send("close " + std::to_string(next));
        if (!host.WaitFor("tab " + std::to_string(next) + " closed", 60000))
        {
            std::printf("close: the tab did not close while its query hung\n");
            return;
        }
        hanging.push_back(MsSince(start));
        host.Process().Send("open");
        ++next;
        if (!host.WaitFor("tab " + std::to_string(next) + " startup", 30000))
        {
            return;
        }
    }
    service.SetFault(service::FaultMode::None);
    const Summary a = Summarise(idle);
    const Summary b = Summarise(hanging);
    std::printf("closing a tab, %zu times each:\n"
                "  idle: median %.1f ms, min %.1f, max %.1f\n"
                "  while its status query hangs (query time-out %d s): median %.0f ms, min %.0f, max %.0f\n",
        a.count, a.median, a.min, a.max, timeoutSecs, b.median, b.min, b.max);
    host.Quit();
}
} // namespace

int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
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
            MeasureStartup(bench, 200);
        }
        if (only.empty() || only == "change")
        {
            MeasureChange(bench, 8);
        }
        if (only.empty() || only == "queries")
        {
            std::printf("status queries reaching the service (poll interval 2 s, one tab per process):\n");
            for (int processes : {1, 2, 4})
            {
                MeasureQueries(bench, processes, 8);
            }
        }
        if (only.empty() || only == "cpu")
        {
            MeasureIdleCpu(bench, 20);
        }
        if (only.empty() || only == "close")
        {
            MeasureClose(bench, 5);
        }
    }
    ::OleUninitialize();
    return 0;
}
