#include "win/Handle.h"

#include <gtest/gtest.h>

namespace
{

TEST(UniqueHandleTest, ClosesOnceKeepsTheLastErrorAndHandsOwnershipOn)
{
    win::KernelHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE raw = a.Get();
    win::KernelHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(raw, b.Get());
    const HANDLE released = b.Release();
    EXPECT_FALSE(b.IsValid());
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(released, &flags));  // still open: the caller owns it now
    win::KernelHandle event(released);
    ::SetLastError(ERROR_SHARING_VIOLATION);
    event.Reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    EXPECT_FALSE(::GetHandleInformation(released, &flags));  // really closed

    win::FileHandle file(
        ::CreateFileW(L"C:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Get());
    file.Reset(nullptr);  // a file handle left empty by its source is no file either
    EXPECT_FALSE(file);
}

}  // namespace
