#include "win/ComPtr.h"
#include "win/Handle.h"

#include "support/FakeDispatch.h"

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
}

TEST(ComPtrTest, CountsReferencesThroughCopyMoveAttachAndPut)
{
    testing_support::FakeDispatch object;
    {
        win::ComPtr<IDispatch> a(&object);
        EXPECT_EQ(2u, object.References());
        win::ComPtr<IDispatch> b = a;
        EXPECT_EQ(3u, object.References());
        win::ComPtr<IDispatch> c(std::move(b));
        EXPECT_EQ(3u, object.References());
        EXPECT_FALSE(b);
        win::ComPtr<IUnknown> unknown;
        EXPECT_EQ(S_OK, a.As(unknown));
        EXPECT_EQ(4u, object.References());
        (void)unknown.Put();
        EXPECT_EQ(3u, object.References());
        IDispatch* out = nullptr;
        EXPECT_EQ(S_OK, c.CopyTo(&out));
        EXPECT_EQ(4u, object.References());
        auto attached = win::ComPtr<IDispatch>::Attach(out);
        EXPECT_EQ(4u, object.References());
        EXPECT_EQ(E_POINTER, c.CopyTo(nullptr));
    }
    EXPECT_EQ(1u, object.References());
}

} // namespace
