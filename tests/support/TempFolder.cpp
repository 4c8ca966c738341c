#include "support/TempFolder.h"

#include "win/Handle.h"
#include "win/Strings.h"

#include <atomic>

namespace testing_support
{

TempFolder::TempFolder()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring base(temp, n);
    for (;;)
    {
        m_path = base + win::Format(L"norvix-test-%lu-%u-%lu\\", ::GetCurrentProcessId(), counter++, ::GetTickCount());
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
        {
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
        {
            m_path.clear();
            return;
        }
    }
}

TempFolder::~TempFolder()
{
    if (!m_path.empty())
    {
        RemoveTree(m_path);
    }
}

std::wstring_view::size_type TempFolder::CountFiles(std::wstring_view prefix) const
{
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW((m_path + std::wstring(prefix) + L"*").c_str(), &data));
    size_t count = 0;
    if (!find)
    {
        return 0;
    }
    do
    {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            ++count;
        }
    } while (::FindNextFileW(find.Get(), &data));
    return count;
}

void RemoveTree(const std::wstring& path)
{
    std::wstring folder = path;
    if (!folder.empty() && folder.back() != L'\\')
    {
        folder += L'\\';
    }
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (find)
    {
        do
        {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
            {
                continue;
            }
            const std::wstring child = folder + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            {
                RemoveTree(child);
            }
            else
            {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find.Get(), &data));
    }
    find.Reset();
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace testing_support
