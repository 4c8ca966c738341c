#include "storage/Archive.h"

#include "storage/XStorageObject.h"
#include "storage/XStreamFileMirror.h"
#include "win/FailureReport.h"
#include "win/Handle.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace storage
{

namespace
{

// Message ids of the file and archive failures; the module's string table may carry texts for them.
constexpr UINT kIdFailedToSave = 0xF100;
constexpr UINT kIdFailedToLoad = 0xF101;
constexpr UINT kIdSaveException = 0xF102;
constexpr UINT kIdGenericArchive = 0xF120;
constexpr UINT kIdFileNotFound = 0xF121;
constexpr UINT kIdDiskFull = 0xF122;
constexpr UINT kIdAccessDeniedLoading = 0xF123;
constexpr UINT kIdAccessDeniedSaving = 0xF124;

constexpr const wchar_t kFallbackText[] = L"Reporting file I/O exception on Save/Load with [%s] file.";

std::wstring ErrorText(const std::wstring& path, const ArchiveException* archiveError, const FileException* fileError,
    bool saving, UINT messageId)
{
    std::wstring text;
    if (archiveError)
    {
        switch (archiveError->GetCause())
        {
        case ArchiveException::Cause::EndOfFile:
        case ArchiveException::Cause::BadIndex:
        case ArchiveException::Cause::BadClass:
        case ArchiveException::Cause::BadSchema: messageId = kIdGenericArchive; break;
        default: break;
        }
    }
    else if (fileError)
    {
        FileException named = *fileError;
        if (named.FileName().empty())
        {
            named.SetFileName(path);
        }
        if (!named.GetErrorMessage(text))
        {
            switch (named.GetCause())
            {
            case FileException::Cause::FileNotFound:
            case FileException::Cause::BadPath: messageId = kIdFileNotFound; break;
            case FileException::Cause::DiskFull: messageId = kIdDiskFull; break;
            case FileException::Cause::AccessDenied:
                messageId = saving ? kIdAccessDeniedSaving : kIdAccessDeniedLoading;
                break;
            default: break;
            }
        }
    }
    else
    {
        return {};
    }
    if (text.empty())
    {
        const std::wstring format = win::LoadStringResource(win::ThisModule(), messageId);
        text = format.empty() ? win::ReplaceFirst(kFallbackText, L"%s", path) : win::ReplaceAll(format, L"%1", path);
    }
    return win::ToLower(text);
}

// Produces the text for a caught failure; a failure while producing it leaves the text empty.
template <typename Exception>
void SetErrorText(
    std::wstring& errorText, const std::wstring& path, const Exception* error, bool saving, UINT messageId) noexcept
{
    try
    {
        if constexpr (std::is_same_v<Exception, ArchiveException>)
        {
            errorText = ErrorText(path, error, nullptr, saving, messageId);
        }
        else
        {
            errorText = ErrorText(path, nullptr, error, saving, messageId);
        }
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("error text");
        errorText.clear();
    }
}

// What a load or save of `path` caught: an archive's cause, or a file failure with the system's error code.
void ReportCaught(const ArchiveException& error, const std::wstring& path) noexcept
{
    static const char* const kCauses[] = {"archive: none", "archive: generic", "archive: read only",
        "archive: end of file", "archive: write only", "archive: bad index", "archive: bad class",
        "archive: bad schema"};
    const auto cause = static_cast<std::size_t>(error.GetCause());
    WIN_REPORT_FAILURE(cause < std::size(kCauses) ? kCauses[cause] : "archive", S_OK, path);
}

void ReportCaught(const FileException& error, const std::wstring& path) noexcept
{
    WIN_REPORT_FAILURE("file", error.OsError() == NO_ERROR ? E_FAIL : HRESULT_FROM_WIN32(error.OsError()),
        error.FileName().empty() ? path : error.FileName());
}

}  // namespace

FileException FileException::FromOsError(DWORD osError, std::wstring fileName)
{
    Cause cause = Cause::Generic;
    switch (osError)
    {
    case NO_ERROR: cause = Cause::None; break;
    case ERROR_FILE_NOT_FOUND: cause = Cause::FileNotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: cause = Cause::BadPath; break;
    case ERROR_TOO_MANY_OPEN_FILES: cause = Cause::TooManyOpenFiles; break;
    case ERROR_ACCESS_DENIED: cause = Cause::AccessDenied; break;
    case ERROR_INVALID_HANDLE: cause = Cause::InvalidFile; break;
    case ERROR_CURRENT_DIRECTORY: cause = Cause::RemoveCurrentDir; break;
    case ERROR_CANNOT_MAKE: cause = Cause::DirectoryFull; break;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: cause = Cause::BadSeek; break;
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_CRC: cause = Cause::HardIO; break;
    case ERROR_SHARING_VIOLATION: cause = Cause::SharingViolation; break;
    case ERROR_LOCK_VIOLATION: cause = Cause::LockViolation; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: cause = Cause::DiskFull; break;
    case ERROR_HANDLE_EOF: cause = Cause::EndOfFile; break;
    default: break;
    }
    return FileException(cause, osError, std::move(fileName));
}

bool FileException::GetErrorMessage(std::wstring& message) const
{
    message.clear();
    if (m_osError == NO_ERROR)
    {
        return false;
    }
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, m_osError, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const win::LocalMemory owned(buffer);
    if (n == 0 || buffer == nullptr)
    {
        return false;
    }
    const std::wstring systemText = win::Trim(std::wstring_view(buffer, n));
    if (systemText.empty())
    {
        return false;
    }
    message = m_fileName.empty() ? systemText : win::Format(L"%ls: %ls", m_fileName.c_str(), systemText.c_str());
    return true;
}

Archive::Archive(XStreamFileMirror& file) : m_file(&file), m_mode(Mode::Store), m_buffer(kBufferSize)
{
}

Archive::Archive(const std::vector<std::uint8_t>& bytes) : m_mode(Mode::Load), m_buffer(bytes), m_limit(bytes.size())
{
}

void Archive::Write(const void* data, std::size_t size)
{
    if (!IsStoring())
    {
        throw ArchiveException(ArchiveException::Cause::ReadOnly);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0)
    {
        if (m_position == m_buffer.size())
        {
            Flush();
        }
        const std::size_t chunk = std::min(size, m_buffer.size() - m_position);
        std::memcpy(m_buffer.data() + m_position, bytes, chunk);
        m_position += chunk;
        bytes += chunk;
        size -= chunk;
    }
}

void Archive::Read(void* data, std::size_t size)
{
    if (!IsLoading())
    {
        throw ArchiveException(ArchiveException::Cause::WriteOnly);
    }
    auto* bytes = static_cast<std::uint8_t*>(data);
    while (size > 0)
    {
        if (m_position == m_limit)
        {
            Fill();
        }
        const std::size_t chunk = std::min(size, m_limit - m_position);
        std::memcpy(bytes, m_buffer.data() + m_position, chunk);
        m_position += chunk;
        bytes += chunk;
        size -= chunk;
    }
}

void Archive::Close()
{
    if (IsStoring())
    {
        Flush();
    }
}

void Archive::Fill()
{
    // A loading archive holds all its bytes from the start: there is no more to fill.
    throw ArchiveException(ArchiveException::Cause::EndOfFile);
}

void Archive::Flush()
{
    if (m_position > 0 && !m_file->Write(m_buffer.data(), static_cast<DWORD>(m_position)))
    {
        const DWORD error = ::GetLastError();
        throw FileException::FromOsError(error, m_file->FilePath());
    }
    m_position = 0;
}

Archive& Archive::PutLittleEndian(std::uint64_t value, int bytes)
{
    std::uint8_t raw[8];
    for (int i = 0; i < bytes; ++i)
    {
        raw[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    Write(raw, static_cast<std::size_t>(bytes));
    return *this;
}

std::uint64_t Archive::GetLittleEndian(int bytes)
{
    std::uint8_t raw[8];
    Read(raw, static_cast<std::size_t>(bytes));
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
    {
        value = (value << 8) | raw[i];
    }
    return value;
}

Archive& Archive::operator<<(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return PutLittleEndian(bits, 8);
}

Archive& Archive::operator>>(std::uint32_t& value)
{
    value = static_cast<std::uint32_t>(GetLittleEndian(4));
    return *this;
}

Archive& Archive::operator>>(std::int32_t& value)
{
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(GetLittleEndian(4)));
    return *this;
}

Archive& Archive::operator>>(std::uint16_t& value)
{
    value = static_cast<std::uint16_t>(GetLittleEndian(2));
    return *this;
}

Archive& Archive::operator>>(double& value)
{
    const std::uint64_t bits = GetLittleEndian(8);
    std::memcpy(&value, &bits, sizeof value);
    return *this;
}

bool ReadArchive(const std::vector<std::uint8_t>& bytes, const std::wstring& name, XStorageObject& record,
    std::wstring& errorText) noexcept
{
    try
    {
        errorText.clear();
        try
        {
            if (bytes.empty())
            {
                throw ArchiveException(ArchiveException::Cause::EndOfFile);
            }
            Archive archive(bytes);
            record.Serialize(archive);
            return true;
        }
        catch (const ArchiveException& error)
        {
            ReportCaught(error, name);
            SetErrorText(errorText, name, &error, /*saving=*/false, kIdFailedToLoad);
        }
    }
    catch (...)
    {
        // Out of memory: nothing more to say than the failure itself.
        (void)WIN_REPORT_CAUGHT("ReadArchive");
    }
    return false;
}

bool WriteArchive(const std::wstring& path, XStorageObject& record, std::wstring& errorText) noexcept
{
    try
    {
        errorText.clear();
        if (path.empty())
        {
            return false;
        }
        XStreamFileMirror file;
        if (!file.Open(path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::CreateAlways))
        {
            const DWORD osError = ::GetLastError();
            const FileException error = FileException::FromOsError(osError, path);
            ReportCaught(error, path);
            SetErrorText(errorText, path, &error, /*saving=*/true, kIdFailedToSave);
            return false;
        }
        try
        {
            Archive archive(file);
            record.Serialize(archive);
            archive.Close();
            if (!file.Close())
            {
                const DWORD error = ::GetLastError();
                throw FileException::FromOsError(error, path);
            }
            return true;
        }
        catch (const ArchiveException& error)
        {
            file.Abort();
            ReportCaught(error, path);
            SetErrorText(errorText, path, &error, /*saving=*/true, kIdSaveException);
        }
        catch (const FileException& error)
        {
            file.Abort();
            ReportCaught(error, path);
            SetErrorText(errorText, path, &error, /*saving=*/true, kIdSaveException);
        }
    }
    catch (...)
    {
        // Out of memory: the file object's destructor has abandoned the write.
        (void)WIN_REPORT_CAUGHT("WriteArchive");
    }
    return false;
}

}  // namespace storage
