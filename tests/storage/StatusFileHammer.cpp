// StatusFileHammer.exe <path> <rounds> <id>: loads and saves the status file at <path> for <rounds> rounds as
// writer <id>, then prints one result line ("result loads=... ") and exits with 0.

#include "Hammer.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int main()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4)
    {
        std::fputs("usage: StatusFileHammer <path> <rounds> <id>\n", stderr);
        return 2;
    }
    const int rounds = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    const int id = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
    const storage_testing::HammerResult result = storage_testing::RunHammer(argv[1], rounds, id);
    ::LocalFree(argv);
    std::printf("result %s\n", storage_testing::Describe(result).c_str());
    std::fflush(stdout);
    return 0;
}
