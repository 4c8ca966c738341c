#include "win/File.h"
#include "win/MessagePump.h"
#include "win/Module.h"
#include "win/NamedMutex.h"
#include "win/Registry.h"
#include "win/Strings.h"
#include "win/Thread.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

using testing_support::TempFolder;

TEST(FileTest, SharingModesDecideWhoElseMayOpen)
{
    TempFolder folder;
    const auto path = folder.File(L"state.bin");
    ASSERT_TRUE(win::File::WriteAll(path, "abc"));

    win::File exclusive;
    ASSERT_TRUE(exclusive.Open(path, win::FileAccess::Read, win::FileShare::Exclusive, win::FileCreate::OpenExisting));
    win::File other;
    EXPECT_FALSE(other.Open(path, win::FileAccess::Read, win::FileShare::DenyNone, win::FileCreate::OpenExisting));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    exclusive.Close();

    win::File denyWrite;
    ASSERT_TRUE(denyWrite.Open(path, win::FileAccess::Read, win::FileShare::DenyWrite, win::FileCreate::OpenExisting));
    EXPECT_TRUE(other.Open(path, win::FileAccess::Read, win::FileShare::DenyWrite, win::FileCreate::OpenExisting));
    win::File writer;
    EXPECT_FALSE(writer.Open(path, win::FileAccess::Write, win::FileShare::DenyNone, win::FileCreate::OpenExisting));
}

TEST(FileTest, CreateAlwaysTruncatesAndReadStopsAtTheEnd)
{
    TempFolder folder;
    const auto path = folder.File(L"f.bin");
    ASSERT_TRUE(win::File::WriteAll(path, std::string(5000, 'x')));
    win::File file;
    ASSERT_TRUE(file.Open(path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::CreateAlways));
    std::uint64_t length = 99;
    ASSERT_TRUE(file.GetLength(length));
    EXPECT_EQ(0u, length);
    ASSERT_TRUE(file.Write("hello", 5));
    ASSERT_TRUE(file.Seek(0));
    char buffer[16];
    DWORD read = 0;
    ASSERT_TRUE(file.Read(buffer, sizeof(buffer), read));
    EXPECT_EQ(5u, read);
    ASSERT_TRUE(file.Read(buffer, sizeof(buffer), read));
    EXPECT_EQ(0u, read);
    file.Close();

    EXPECT_TRUE(win::File::Exists(path));
    EXPECT_TRUE(win::File::Remove(path));
    EXPECT_FALSE(win::File::Exists(path));
    EXPECT_TRUE(win::File::Remove(path));  // already gone counts as removed
    win::File missing;
    EXPECT_FALSE(missing.Open(path, win::FileAccess::Read, win::FileShare::DenyNone, win::FileCreate::OpenExisting));
}

TEST(ThreadTest, StartsOnlyWhenResumedAndReportsItsEnd)
{
    std::atomic<bool> ran{false};
    win::Thread thread([&] {
        ran = true;
        return DWORD{7};
    });
    EXPECT_TRUE(thread.HasEnded());  // not created yet
    ASSERT_TRUE(thread.Create());
    EXPECT_FALSE(thread.Wait(50));
    EXPECT_FALSE(ran);
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), thread.ExitCode());
    ASSERT_TRUE(thread.Resume());
    EXPECT_TRUE(thread.Wait(10000));
    EXPECT_TRUE(ran);
    EXPECT_EQ(7u, thread.ExitCode());
    EXPECT_FALSE(thread.Create());  // one thread per object
}

// A worker that sends a message to a window of the waiting thread finishes only while that thread pumps.
TEST(MessagePumpTest, WaitWhilePumpingLetsAWorkerSendToTheWaitingThread)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    win::Thread worker([window] {
        ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"from the worker"));
        return DWORD{0};
    });
    ASSERT_TRUE(worker.Create());
    ASSERT_TRUE(worker.Resume());
    EXPECT_TRUE(win::WaitWhilePumping(worker.Handle(), 20000));
    wchar_t text[32] = {};
    ::GetWindowTextW(window, text, 32);
    EXPECT_STREQ(L"from the worker", text);
    ::DestroyWindow(window);
}

TEST(MessagePumpTest, WaitWhilePumpingGivesUpAfterItsTimeOut)
{
    win::KernelHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(win::WaitWhilePumping(never.Get(), 30));
    ::SetEvent(never.Get());
    EXPECT_TRUE(win::WaitWhilePumping(never.Get(), 30));
}

TEST(NamedMutexTest, OneHolderAtATimeAndAnAbandonedMutexCountsAsTaken)
{
    const std::wstring name = win::Format(L"NorvixTestMutex_%lu_%lu", ::GetCurrentProcessId(), ::GetTickCount());
    win::NamedMutex mine;
    ASSERT_TRUE(mine.Create(name));
    EXPECT_EQ(win::NamedMutex::WaitResult::Acquired, mine.Wait(0));

    std::atomic<int> otherResult{-1};
    win::Thread other([&] {
        win::NamedMutex theirs;
        if (!theirs.Create(name))
        {
            return DWORD{1};
        }
        otherResult = static_cast<int>(theirs.Wait(20));
        return DWORD{0};
    });
    ASSERT_TRUE(other.Create());
    ASSERT_TRUE(other.Resume());
    ASSERT_TRUE(other.Wait(10000));
    EXPECT_EQ(static_cast<int>(win::NamedMutex::WaitResult::TimedOut), otherResult.load());

    // A holder that ends without releasing leaves the mutex abandoned: the next waiter owns it.
    win::Thread quitter([&] {
        win::NamedMutex theirs;
        if (!theirs.Create(name))
        {
            return DWORD{1};
        }
        return theirs.Wait(10000) == win::NamedMutex::WaitResult::Acquired ? DWORD{0} : DWORD{2};
    });
    ASSERT_TRUE(quitter.Create());
    ASSERT_TRUE(quitter.Resume());
    EXPECT_TRUE(mine.Release());
    ASSERT_TRUE(quitter.Wait(10000));
    EXPECT_EQ(0u, quitter.ExitCode());
    EXPECT_EQ(win::NamedMutex::WaitResult::Abandoned, mine.Wait(10000));
    EXPECT_TRUE(mine.Release());
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = win::Format(L"Software\\NorvixTests\\Registry_%lu_%lu", ::GetCurrentProcessId(), ::GetTickCount());
        m_key = win::CreateRegKey(HKEY_CURRENT_USER, m_path);
        ASSERT_TRUE(m_key);
    }
    void TearDown() override
    {
        m_key.Reset();
        EXPECT_TRUE(win::DeleteRegTree(HKEY_CURRENT_USER, m_path));
        EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, m_path));
    }
    std::wstring m_path;
    win::RegKey m_key;
};

TEST_F(RegistryTest, StringReadsAreBoundedTerminatedAndTyped)
{
    ASSERT_TRUE(win::WriteRegString(m_key.Get(), L"short", L"TextLabels"));
    std::wstring value = L"sentinel";
    EXPECT_TRUE(win::ReadRegString(m_key.Get(), L"short", value));
    EXPECT_EQ(L"TextLabels", value);

    // Longer than the reader's buffer: refused, never cut without a terminator.
    ASSERT_TRUE(win::WriteRegString(m_key.Get(), L"long", std::wstring(100, L'x')));
    value = L"sentinel";
    EXPECT_FALSE(win::ReadRegString(m_key.Get(), L"long", value, 16));
    EXPECT_EQ(L"", value);

    // Stored without a terminator: the text still ends where the data ends, however full the buffer is.
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(m_key.Get(), L"raw", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(unterminated), sizeof(unterminated)));
    for (size_t maxChars : {3u, 4u, 8192u})
    {
        SCOPED_TRACE(maxChars);
        value = L"sentinel";
        if (win::ReadRegString(m_key.Get(), L"raw", value, maxChars))
        {
            EXPECT_EQ(L"abc", value);
        }
        else
        {
            EXPECT_EQ(L"", value);
        }
    }
    EXPECT_TRUE(win::ReadRegString(m_key.Get(), L"raw", value, 4));
    EXPECT_EQ(L"abc", value);

    const BYTE binary[] = {1, 2, 3, 4};
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(m_key.Get(), L"bin", 0, REG_BINARY, binary, sizeof(binary)));
    value = L"sentinel";
    EXPECT_FALSE(win::ReadRegString(m_key.Get(), L"bin", value));
    EXPECT_EQ(L"", value);
    EXPECT_FALSE(win::ReadRegString(m_key.Get(), L"missing", value));

    DWORD number = 0;
    ASSERT_TRUE(win::WriteRegDword(m_key.Get(), L"n", 17));
    EXPECT_TRUE(win::ReadRegDword(m_key.Get(), L"n", number));
    EXPECT_EQ(17u, number);
    EXPECT_FALSE(win::ReadRegDword(m_key.Get(), L"short", number));
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

} // namespace
