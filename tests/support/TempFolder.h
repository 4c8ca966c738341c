#pragma once
// A folder of its own for one test, under the system's temporary folder, removed with everything in it
// when the object goes.

#include <windows.h>

#include <string>
#include <string_view>

namespace testing_support
{

class TempFolder
{
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    // The folder's path, ending in a backslash.
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }
    // A path inside the folder.
    [[nodiscard]] std::wstring File(std::wstring_view name) const { return m_path + std::wstring(name); }
    // The number of files in the folder whose names start with `prefix` (every file for "").
    [[nodiscard]] size_t CountFiles(std::wstring_view prefix = L"") const;

private:
    std::wstring m_path;
};

}  // namespace testing_support
