// NorvixService.exe: runs the product's local service in a console until asked to stop.

#include "ProductService.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr const char* kHelp =
    "NorvixService: the product's local status service on 127.0.0.1.\n"
    "\n"
    "Usage: NorvixService.exe [options]\n"
    "  --port N               listen on port N (default 44081; 0 picks a free port, printed at start)\n"
    "  --definitions CODE     definitions code: green, yellow, red or any text (default green)\n"
    "  --protection CODE      web-protection code: enabled, disabled or any text (default enabled)\n"
    "  --update-delay-ms N    time from POST /DoUpdate until the definitions turn green (default 3000)\n"
    "  --fault MODE           start in a fault mode (see below; default none)\n"
    "  --slow-ms N            delay of the slow, drip and slow-loop modes (default 1500)\n"
    "  --huge-bytes N         padding of the huge mode (default 4194304)\n"
    "  --quiet                do not log requests\n"
    "  --help                 this text\n"
    "\n"
    "Requests:\n"
    "  GET  /GetStatus        <response><vdf_status>CODE</vdf_status><pavise_status>CODE</pavise_status></response>\n"
    "  POST /DoUpdate         starts an update; after the delay the definitions code becomes green\n"
    "\n"
    "Control requests (GET, or POST with a form body), never subject to the fault mode:\n"
    "  /control/set?definitions=red&protection=disabled&update-delay-ms=500\n"
    "  /control/fault?mode=MODE[&slow-ms=N][&huge-bytes=N][&stall-ms=N][&body=TEXT]\n"
    "      MODE: none, refuse (reset without answer), hang (accept, never answer), slow (answer after\n"
    "            slow-ms), drip (one byte of the body every slow-ms), drip-headers (one byte of the\n"
    "            status line and headers every slow-ms), stall (accept nothing for stall-ms, the queue\n"
    "            kept full: connects hang; then back to none), 204, 206 (the answer as 206), 404, 500,\n"
    "            302 (to /redirected/<path>, served normally), loop (302 for ever between\n"
    "            <path> and /again/<path>), slow-loop (the same after slow-ms each), not-xml,\n"
    "            truncated, huge, endless (a body that never ends), dtd,\n"
    "            body (answer every product request with TEXT)\n"
    "  /control/stats         codes, mode and request counts per path\n"
    "  /control/reset-stats   forget the counts\n"
    "  /control/quit          stop the service\n"
    "\n"
    "Every request is logged on standard output. The service stops on /control/quit or Ctrl+C.\n";

HANDLE g_quit = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) noexcept
{
    ::SetEvent(g_quit);
    return TRUE;
}

bool ReadNumber(const char* text, unsigned long long limit, unsigned long long& value)
{
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *text >= '0' && *text <= '9' && end && *end == '\0' && value <= limit;
}

}  // namespace

int main(int argc, char** argv)
{
    service::ProductService productService;
    unsigned long long port = service::ProductService::kDefaultPort;
    bool quiet = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long long number = 0;
        service::FaultMode mode = service::FaultMode::None;
        if (option == "--help" || option == "-h" || option == "/?")
        {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (option == "--quiet")
        {
            quiet = true;
            continue;
        }
        if (!value)
        {
            std::fprintf(stderr, "NorvixService: %s needs a value (see --help)\n", option.c_str());
            return 2;
        }
        ++i;
        if (option == "--port" && ReadNumber(value, 65535, number))
        {
            port = number;
        }
        else if (option == "--definitions")
        {
            productService.SetDefinitions(value);
        }
        else if (option == "--protection")
        {
            productService.SetProtection(value);
        }
        else if (option == "--update-delay-ms" && ReadNumber(value, 0x7FFFFFFF, number))
        {
            productService.SetUpdateDelayMs(static_cast<unsigned>(number));
        }
        else if (option == "--slow-ms" && ReadNumber(value, 0x7FFFFFFF, number))
        {
            productService.SetSlowDelayMs(static_cast<unsigned>(number));
        }
        else if (option == "--huge-bytes" && ReadNumber(value, 256u << 20, number))
        {
            productService.SetHugeBytes(static_cast<size_t>(number));
        }
        else if (option == "--fault" && service::ParseFaultMode(value, mode))
        {
            productService.SetFault(mode);
        }
        else
        {
            std::fprintf(stderr, "NorvixService: bad option %s %s (see --help)\n", option.c_str(), value);
            return 2;
        }
    }

    if (!quiet)
    {
        productService.SetLog([](const std::string& line) {
            SYSTEMTIME now{};
            ::GetLocalTime(&now);
            std::printf(
                "%02u:%02u:%02u.%03u %s\n", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, line.c_str());
            std::fflush(stdout);
        });
    }
    if (!productService.Start(static_cast<std::uint16_t>(port)))
    {
        std::fprintf(stderr, "NorvixService: cannot listen on 127.0.0.1:%llu\n", port);
        return 1;
    }
    std::printf("NorvixService listening on 127.0.0.1:%u\n", productService.Port());
    std::fflush(stdout);

    g_quit = productService.QuitEvent();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    ::WaitForSingleObject(g_quit, INFINITE);
    productService.Stop();
    std::printf("NorvixService stopped\n");
    return 0;
}
