#pragma once
// A folder of its own for one test, under the system's temporary folder, removed with everything in it
// when the object goes.

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
    // Names of the files in the folder that start with `prefix` (every file for "").
    [[nodiscard]] std::wstring_view::size_type CountFiles(std::wstring_view prefix = L"") const;

private:
    std::wstring m_path;
};

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& path);

} // namespace testing_support
