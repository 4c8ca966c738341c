#include "win/File.h"
#include "win/Module.h"
#include "win/NamedMutex.h"
#include "win/Strings.h"
#include "win/Thread.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

using testing_support::TempFolder;

TEST(NamedMutexTest, OneHolderAtATimeAndAnAbandonedMutexCountsAsTaken)
{
    const std::wstring name = win::Format(L"NorvixTestMutex_%lu_%lu", ::GetCurrentProcessId(), ::GetTickCount());
    win::NamedMutex mine;
    ASSERT_TRUE(mine.Create(name));
    EXPECT_EQ(win::NamedMutex::WaitResult::Acquired, mine.Wait(0));
    // Another holder's wait, on a thread of its own that ends without releasing what it got.
    const auto waitElsewhere = [&name](DWORD ms) {
        std::atomic<int> result{-1};
        win::Thread other([&] {
            win::NamedMutex theirs;
            result = theirs.Create(name) ? static_cast<int>(theirs.Wait(ms)) : -1;
            return DWORD{0};
        });
        EXPECT_TRUE(other.Create() && other.Resume() && other.Wait(20000));
        return static_cast<win::NamedMutex::WaitResult>(result.load());
    };
    EXPECT_EQ(win::NamedMutex::WaitResult::TimedOut, waitElsewhere(20));
    EXPECT_TRUE(mine.Release());
    EXPECT_EQ(win::NamedMutex::WaitResult::Acquired, waitElsewhere(0));
    EXPECT_EQ(win::NamedMutex::WaitResult::Abandoned, mine.Wait(10000));
    EXPECT_TRUE(mine.Release());
}

TEST(ModuleTest, SystemLibrariesComeFromTheSystemDirectory)
{
    auto shell = win::LoadSystemLibrary(L"shell32.dll");
    ASSERT_TRUE(shell);
    wchar_t systemDir[MAX_PATH];
    ASSERT_NE(0u, ::GetSystemDirectoryW(systemDir, MAX_PATH));
    EXPECT_TRUE(win::EqualsNoCase(win::FolderOf(win::ModuleFileName(shell.Get())), std::wstring(systemDir) + L"\\"));

    // A file of a system library's name in the current directory is never the one loaded.
    TempFolder folder;
    ASSERT_TRUE(win::File::WriteAll(folder.File(L"norvixplanted.dll"), "MZ not a library"));
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));
    auto planted = win::LoadSystemLibrary(L"norvixplanted.dll");
    ::SetCurrentDirectoryW(previous);
    EXPECT_FALSE(planted);
    EXPECT_EQ(nullptr, win::GetProc<FARPROC>(nullptr, "anything"));
}

}  // namespace
