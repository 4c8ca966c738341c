// ReferencePass: only the work the polling design requires of each control, for comparing the idle cost of
// real controls with it: per thread, a pass that tries a named mutex for 45 ms, holds it for 100 ms when it
// got it, and sleeps 100 ms. All threads share one mutex, as the controls of one user do. Runs until its
// standard input ends (or for the seconds given), so a measurement can read its CPU time from outside.
//
//   ReferencePass.exe THREADS [SECONDS]

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace
{
std::atomic<bool> s_stop{false};

void Pass(HANDLE mutex)
{
    while (!s_stop)
    {
        const DWORD result = ::WaitForSingleObject(mutex, 45);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
        {
            ::Sleep(100);
            ::ReleaseMutex(mutex);
        }
        ::Sleep(100);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    const int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"KEL_PULLING_INSTANCE_REFERENCE_PASS");
    if (!mutex)
    {
        return 1;
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i)
    {
        workers.emplace_back(Pass, mutex);
    }
    std::printf("ready threads=%d\n", threads);
    std::fflush(stdout);
    if (seconds > 0)
    {
        ::Sleep(static_cast<DWORD>(seconds) * 1000);
    }
    else
    {
        char buffer[64];
        while (std::fgets(buffer, sizeof(buffer), stdin))
        {
        }
    }
    s_stop = true;
    for (auto& worker : workers)
    {
        worker.join();
    }
    ::CloseHandle(mutex);
    return 0;
}
