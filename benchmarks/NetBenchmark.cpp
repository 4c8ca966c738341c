// Figures of the status query: the median time of one QueryStatus against the service over loopback, and
// how long services that never answer, redirect for ever or send without end hold the query, and how long a
// tracking request waits for a host whose connect never completes.
// Usage: NetBenchmark.exe [queries]

#include "ProductService.h"

#include "net/APIDispatcher.h"
#include "net/HttpExchange.h"
#include "net/XHttpAccess.h"
#include "support/FakeHostStrings.h"
#include "win/Scope.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace
{

double NowMs()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const int queries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const win::ComInit com(COINIT_APARTMENTTHREADED);  // the answers are read in this thread's apartment
    service::ProductService productService;
    if (!productService.Start(0))
    {
        std::fprintf(stderr, "cannot start the service\n");
        return 1;
    }
    testing_support::FakeHostStrings host;
    host.Set(L"KelTb.Url.Norvix.API", productService.BaseUrl());
    net::APIDispatcher api;
    api.Initialize(&host);

    (void)api.QueryStatus();  // first use loads WinINet and MSXML
    std::vector<double> times;
    int interpreted = 0;
    for (int i = 0; i < queries; ++i)
    {
        const double start = NowMs();
        interpreted += api.QueryStatus() ? 1 : 0;
        times.push_back(NowMs() - start);
    }
    std::printf("QueryStatus over loopback: %d queries, %d interpreted, median %.2f ms, min %.2f ms, max %.2f ms\n",
        queries, interpreted, Median(times), *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()));

    std::vector<double> exchangeTimes;
    const std::wstring statusUrl = productService.BaseUrl() + L"GetStatus";
    for (int i = 0; i < queries; ++i)
    {
        std::wstring answer;
        const double start = NowMs();
        (void)net::XHttpAccess::Get(statusUrl, net::APIDispatcher::kUserAgent, /*dontCache=*/TRUE,
            &api.TimeoutOptions(), /*readResponse=*/TRUE, answer);
        exchangeTimes.push_back(NowMs() - start);
    }
    std::printf("HTTP exchange alone: median %.2f ms\n", Median(exchangeTimes));

    // Services that would hold a query for ever: redirecting without end, or sending more than a body may hold.
    productService.SetHugeBytes(64u << 20);
    for (const auto fault : {service::FaultMode::Loop, service::FaultMode::Huge, service::FaultMode::Endless})
    {
        productService.SetFault(fault);
        const double start = NowMs();
        (void)api.QueryStatus();
        std::printf("Service in mode %s: status %d after %.0f ms\n", service::FaultModeName(fault),
            static_cast<int>(api.GetNorvixStatus()), NowMs() - start);
    }

    // A click's tracking request to a host whose connect never completes.
    service::ProductService stuck;
    stuck.SetFault(service::FaultMode::Stall);
    if (stuck.Start(0))
    {
        while (!stuck.IsStalled())
        {
            ::Sleep(10);
        }
        std::wstring ignored;
        const double start = NowMs();
        net::HttpExchange tracking(net::HttpExchange::WhenBusy::Drop);
        const BOOL sent = tracking.Get(1500, nullptr, stuck.BaseUrl() + L"track", net::APIDispatcher::kUserAgent,
            /*dontCache=*/FALSE, &api.TimeoutOptions(), /*readResponse=*/FALSE, ignored);
        std::printf("Tracking request, connect never completes: %s after %.0f ms\n", sent ? "sent" : "given up",
            NowMs() - start);
    }

    productService.SetFault(service::FaultMode::Hang);
    for (int i = 0; i < 2; ++i)
    {
        const double start = NowMs();
        const BOOL result = api.QueryStatus();
        std::printf("Hanging service, built-in time-out: %s after %.0f ms\n",
            !result && api.GetNorvixStatus() == net::NorvixStatus::ConnectionFailure ? "ConnectionFailure"
                                                                                     : "unexpected result",
            NowMs() - start);
    }
    // The update trigger is bounded by the same time-outs.
    {
        const double start = NowMs();
        std::atomic<bool> done{false};
        BOOL result = TRUE;
        std::thread trigger([&] {
            result = api.RequestUpdate();
            done = true;
        });
        while (!done && NowMs() - start < 60000)
        {
            ::Sleep(50);
        }
        if (done)
        {
            std::printf(
                "Hanging service, update trigger: %s after %.0f ms\n", result ? "sent" : "failed", NowMs() - start);
        }
        else
        {
            std::printf("Hanging service, update trigger: still waiting after %.0f ms\n", NowMs() - start);
        }
        productService.Stop();
        trigger.join();
    }
    return 0;
}
