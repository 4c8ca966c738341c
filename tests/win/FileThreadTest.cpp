#include "win/File.h"
#include "win/Module.h"
#include "win/NamedMutex.h"
#include "win/Strings.h"
#include "win/Thread.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <winternl.h>

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

TEST(NamedMutexTest, WhatItMakesIsLabelledLowAndGrantsTheUserWaitAndReleaseOnly)
{
    // Windows' integrity levels are not enforced here: what shows is the security the mutex carries and the
    // access its handle holds, which is what lets a low and a medium process share it there.
    const std::wstring name = win::Format(L"NorvixTestLabel_%lu_%lu", ::GetCurrentProcessId(), ::GetTickCount());
    win::NamedMutex mine;
    ASSERT_TRUE(mine.Create(name));
    using QueryObject = LONG(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
    const auto queryObject = win::GetProc<QueryObject>(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject");
    ASSERT_NE(nullptr, queryObject);
    PUBLIC_OBJECT_BASIC_INFORMATION basic{};
    ASSERT_EQ(0, queryObject(mine.Handle(), ObjectBasicInformation, &basic, sizeof(basic), nullptr));
    EXPECT_EQ(static_cast<ACCESS_MASK>(SYNCHRONIZE | MUTEX_MODIFY_STATE), basic.GrantedAccess);

    // Read back through a handle of its owner, who may always read what it made.
    win::KernelHandle reader(::OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
    ASSERT_TRUE(reader);
    PACL dacl = nullptr;
    PACL sacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
        ::GetSecurityInfo(reader.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
            nullptr, nullptr, &dacl, &sacl, &descriptor));
    const win::LocalMemory owned(descriptor);
    ASSERT_NE(nullptr, dacl);
    ASSERT_NE(nullptr, sacl);
    ASSERT_EQ(1, dacl->AceCount);
    ASSERT_EQ(1, sacl->AceCount);
    void* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, 0, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, allowed->Header.AceType);
    EXPECT_EQ(static_cast<ACCESS_MASK>(SYNCHRONIZE | MUTEX_MODIFY_STATE), allowed->Mask);
    win::KernelHandle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()));
    BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD size = sizeof(user);
    ASSERT_TRUE(::GetTokenInformation(token.Get(), TokenUser, user, size, &size));
    EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart), reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    ASSERT_TRUE(::GetAce(sacl, 0, &ace));
    const auto* label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, label->Header.AceType);
    EXPECT_EQ(static_cast<ACCESS_MASK>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP), label->Mask);
    BYTE low[SECURITY_MAX_SID_SIZE];
    size = sizeof(low);
    ASSERT_TRUE(::CreateWellKnownSid(WinLowLabelSid, nullptr, low, &size));
    EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&label->SidStart), low));
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
