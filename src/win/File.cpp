#include "win/File.h"

namespace win
{

bool File::Open(std::wstring_view path, FileAccess access, FileShare share, FileCreate create)
{
    Close();
    m_path.assign(path);
    DWORD desired = 0;
    switch (access)
    {
    case FileAccess::Read: desired = GENERIC_READ; break;
    case FileAccess::Write: desired = GENERIC_WRITE; break;
    case FileAccess::ReadWrite: desired = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD shareMode = 0;
    switch (share)
    {
    case FileShare::Exclusive: shareMode = 0; break;
    case FileShare::DenyWrite: shareMode = FILE_SHARE_READ; break;
    case FileShare::DenyNone: shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    DWORD disposition = OPEN_EXISTING;
    switch (create)
    {
    case FileCreate::OpenExisting: disposition = OPEN_EXISTING; break;
    case FileCreate::CreateAlways: disposition = CREATE_ALWAYS; break;
    case FileCreate::OpenAlways: disposition = OPEN_ALWAYS; break;
    }
    m_handle.Reset(
        ::CreateFileW(m_path.c_str(), desired, shareMode, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_handle.IsValid();
}

bool File::Read(void* buffer, DWORD size, DWORD& read) noexcept
{
    read = 0;
    return ::ReadFile(m_handle.Get(), buffer, size, &read, nullptr) != FALSE;
}

bool File::Write(const void* buffer, DWORD size) noexcept
{
    DWORD written = 0;
    if (!::WriteFile(m_handle.Get(), buffer, size, &written, nullptr))
    {
        return false;
    }
    if (written != size)
    {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool File::Flush() noexcept
{
    return ::FlushFileBuffers(m_handle.Get()) != FALSE;
}

bool File::GetLength(std::uint64_t& length) const noexcept
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_handle.Get(), &size))
    {
        return false;
    }
    length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool File::Seek(std::int64_t offset, DWORD origin) noexcept
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    return ::SetFilePointerEx(m_handle.Get(), distance, nullptr, origin) != FALSE;
}

bool File::Exists(std::wstring_view path) noexcept
{
    const std::wstring p(path);
    return ::GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool File::Remove(std::wstring_view path) noexcept
{
    const std::wstring p(path);
    if (::DeleteFileW(p.c_str()))
    {
        return true;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool File::ReadAll(std::wstring_view path, std::string& bytes)
{
    bytes.clear();
    File file;
    std::uint64_t length = 0;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting) || !file.GetLength(length) ||
        length > 0x7FFFFFFF)
    {
        return false;
    }
    bytes.resize(static_cast<size_t>(length));
    DWORD read = 0;
    if (length > 0 && (!file.Read(bytes.data(), static_cast<DWORD>(length), read) || read != length))
    {
        bytes.clear();
        return false;
    }
    return true;
}

bool File::WriteAll(std::wstring_view path, std::string_view bytes)
{
    File file;
    return file.Open(path, FileAccess::Write, FileShare::Exclusive, FileCreate::CreateAlways) &&
        file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace win
