#include "support/FileHolder.h"

#include "win/File.h"

#include <gtest/gtest.h>

namespace testing_support
{

std::unique_ptr<win::Thread> HoldFileFor(const std::wstring& path, DWORD ms)
{
    auto file = std::make_shared<win::File>();
    EXPECT_TRUE(file->Open(path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::OpenExisting));
    auto holder = std::make_unique<win::Thread>([file, ms] {
        ::Sleep(ms);
        file->Close();
        return DWORD{0};
    });
    EXPECT_TRUE(holder->Create() && holder->Resume());
    return holder;
}

}  // namespace testing_support
