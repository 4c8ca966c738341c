// StorageBenchmark.exe [rounds]: times Save and Load of a status file in a temporary folder and prints the
// median and the spread of each, in milliseconds.

#include "Core/StatusConfigFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Print(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-5s median %.3f ms  (min %.3f, 90%% %.3f, max %.3f; %zu runs)\n", what, times[times.size() / 2],
        times.front(), times[times.size() * 9 / 10], times.back(), times.size());
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp) + L"norvix-benchmark-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\Norvix.status.config";

    core::StatusConfigFile file;
    file.Open(path);
    if (!file.Load(/*report=*/false, /*resetOnFailure=*/true))
    {
        std::puts("first load failed");
        return 1;
    }
    std::vector<double> saves;
    std::vector<double> loads;
    int failures = 0;
    for (int i = 0; i < rounds; ++i)
    {
        file.GetRecord()->m_norvixStatus = 1 + i % 2;
        file.GetRecord()->m_lastCheck = storage::DateTime::FromValue(45000.0 + i);
        LARGE_INTEGER a;
        LARGE_INTEGER b;
        LARGE_INTEGER c;
        ::QueryPerformanceCounter(&a);
        failures += file.Save(/*report=*/false) ? 0 : 1;
        ::QueryPerformanceCounter(&b);
        failures += file.Load(/*report=*/false, /*resetOnFailure=*/true) ? 0 : 1;
        ::QueryPerformanceCounter(&c);
        saves.push_back(Milliseconds(a, b));
        loads.push_back(Milliseconds(b, c));
    }
    Print("Save", saves);
    Print("Load", loads);
    std::printf("failures %d\n", failures);
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
    return failures == 0 ? 0 : 1;
}
