#include "support/TempFolder.h"

#include "win/Strings.h"

#include <atomic>
#include <filesystem>

namespace testing_support
{

TempFolder::TempFolder()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1];
    const std::wstring base(temp, ::GetTempPathW(MAX_PATH + 1, temp));
    do
    {
        m_path = base + win::Format(L"norvix-test-%lu-%u-%lu\\", ::GetCurrentProcessId(), counter++, ::GetTickCount());
    } while (!::CreateDirectoryW(m_path.c_str(), nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

size_t TempFolder::CountFiles(std::wstring_view prefix) const
{
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, error))
    {
        count += entry.is_regular_file() && entry.path().filename().wstring().starts_with(prefix) ? 1 : 0;
    }
    return count;
}

}  // namespace testing_support
