#include "support/ProcessThreads.h"

#include "win/Handle.h"

#include <tlhelp32.h>

namespace testing_support
{

std::size_t ThreadCount(DWORD processId)
{
    win::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{sizeof(entry)};
    std::size_t count = 0;
    if (snapshot && ::Thread32First(snapshot.Get(), &entry))
    {
        do
        {
            count += entry.th32OwnerProcessID == processId ? 1 : 0;
        } while (::Thread32Next(snapshot.Get(), &entry));
    }
    return count;
}

}  // namespace testing_support
