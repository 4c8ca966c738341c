#pragma once
// File: one open file handle with the access, sharing and creation modes that the add-on's state files use.
// Every operation reports failure by its result and leaves the reason in GetLastError. Not thread-safe: one
// owner at a time.

#include "win/Handle.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace win
{

enum class FileAccess
{
    Read,
    Write,
    ReadWrite,
};

enum class FileShare
{
    Exclusive,  // no other opener
    DenyWrite,  // others may read
    DenyNone,  // others may read and write
};

enum class FileCreate
{
    OpenExisting,  // fails when missing
    CreateAlways,  // creates, or truncates to zero length
    OpenAlways,  // opens, or creates when missing
};

class File
{
public:
    File() noexcept = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&&) noexcept = default;
    File& operator=(File&&) noexcept = default;

    [[nodiscard]] bool Open(std::wstring_view path, FileAccess access, FileShare share, FileCreate create);
    void Close() noexcept { m_handle.Reset(); }
    [[nodiscard]] bool IsOpen() const noexcept { return m_handle.IsValid(); }

    // Reads up to `size` bytes; `read` is 0 at the end of the file.
    [[nodiscard]] bool Read(void* buffer, DWORD size, DWORD& read) noexcept;
    // Writes all `size` bytes or fails.
    [[nodiscard]] bool Write(const void* buffer, DWORD size) noexcept;
    [[nodiscard]] bool Flush() noexcept;
    [[nodiscard]] bool GetLength(std::uint64_t& length) const noexcept;
    [[nodiscard]] bool Seek(std::int64_t offset, DWORD origin = FILE_BEGIN) noexcept;

    [[nodiscard]] HANDLE Handle() const noexcept { return m_handle.Get(); }
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }

    [[nodiscard]] static bool Exists(std::wstring_view path) noexcept;
    // Removes a file; true also when it was already gone.
    static bool Remove(std::wstring_view path) noexcept;
    // Whole-file helpers for small files (tests, tools).
    [[nodiscard]] static bool ReadAll(std::wstring_view path, std::string& bytes);
    [[nodiscard]] static bool WriteAll(std::wstring_view path, std::string_view bytes);

private:
    FileHandle m_handle;
    std::wstring m_path;
};

}  // namespace win
