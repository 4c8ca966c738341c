#include "storage/XStreamFileMirror.h"

#include "storage/SharingRetry.h"
#include "win/FailureReport.h"
#include "win/Module.h"

#include <atomic>
#include <vector>

namespace storage
{

namespace
{

XStreamFileMirror::ReplaceFileProc SystemReplaceFile()
{
    // kernel32 is loaded in every process, so naming it searches nothing.
    return win::GetProc<XStreamFileMirror::ReplaceFileProc>(::GetModuleHandleW(L"kernel32.dll"), "ReplaceFileW");
}

std::atomic<XStreamFileMirror::ReplaceFileLookup> s_replaceFileLookup{&SystemReplaceFile};
std::atomic<XStreamFileMirror::RenameProc> s_rename{&::MoveFileExW};

bool IsSeparator(wchar_t c) noexcept
{
    return c == L'\\' || c == L'/';
}

std::wstring FullPath(std::wstring_view path)
{
    const std::wstring p(path);
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(p.c_str(), MAX_PATH, full, nullptr);
    return (n == 0 || n >= MAX_PATH) ? std::wstring() : std::wstring(full, n);
}

std::uint64_t FreeBytes(const std::wstring& root) noexcept
{
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!::GetDiskFreeSpaceW(
            root.empty() ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
    {
        return 0;
    }
    return std::uint64_t{freeClusters} * sectorsPerCluster * bytesPerSector;
}

std::atomic<XStreamFileMirror::FreeSpaceProc> s_freeSpace{&FreeBytes};

}  // namespace

XStreamFileMirror::~XStreamFileMirror()
{
    if (m_file.IsOpen() || !m_mirrorPath.empty())
    {
        Abort();
    }
}

bool XStreamFileMirror::Open(
    std::wstring_view path, win::FileAccess access, win::FileShare share, win::FileCreate create)
{
    if (m_file.IsOpen() || !m_mirrorPath.empty())
    {
        Abort();
    }
    m_filePath.assign(path);
    m_mirrorPath.clear();

    WIN32_FILE_ATTRIBUTE_DATA existing{};
    if (create == win::FileCreate::CreateAlways &&
        ::GetFileAttributesExW(m_filePath.c_str(), GetFileExInfoStandard, &existing) &&
        !(existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        const std::uint64_t size = (std::uint64_t{existing.nFileSizeHigh} << 32) | existing.nFileSizeLow;
        if (s_freeSpace.load()(RootOf(FullPath(m_filePath))) > 2 * size)
        {
            m_mirrorPath = TemporaryName(m_filePath, /*create=*/true);
        }
    }

    if (!m_mirrorPath.empty())
    {
        if (m_file.Open(m_mirrorPath, access, share, create))
        {
            CopyCreationTime(existing.ftCreationTime);
            CopyAccessControl(m_filePath);
            return true;
        }
        // The reserved name would otherwise stay behind in the folder.
        win::File::Remove(m_mirrorPath);
        m_mirrorPath.clear();
    }
    return storage::RetryWhileShared(
        storage::RetryKind::Open, [&] { return m_file.Open(m_filePath, access, share, create); });
}

void XStreamFileMirror::CopyCreationTime(const FILETIME& creation) noexcept
{
    // Taken as the file time itself: a round trip through local calendar time would lose the fraction of a
    // second and shift by an hour across a daylight-saving change.
    ::SetFileTime(m_file.Handle(), &creation, nullptr, nullptr);
}

void XStreamFileMirror::CopyAccessControl(const std::wstring& source) noexcept
{
    try
    {
        DWORD needed = 0;
        ::GetFileSecurityW(source.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
        if (needed == 0)
        {
            return;
        }
        std::vector<BYTE> descriptor(needed);
        if (::GetFileSecurityW(source.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        {
            ::SetFileSecurityW(m_mirrorPath.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
        }
    }
    catch (...)
    {
        // Without the old list the mirror keeps the folder's default one.
        (void)WIN_REPORT_CAUGHT("CopyAccessControl");
    }
}

bool XStreamFileMirror::Close()
{
    if (!m_file.IsOpen() && m_mirrorPath.empty())
    {
        return true;
    }
    m_file.Close();
    if (m_mirrorPath.empty())
    {
        return true;
    }
    const std::wstring& target = m_filePath;

    // The swap is one replacing rename: a reader in another process finds the old file or the new one under
    // the name at every moment. (ReplaceFileW moves the old file aside first, to the backup name or, in some
    // implementations, to a temporary name, so for a moment there is no file at all, and a reader would
    // take the file for missing and write the defaults.) Renaming over a file that someone holds open is
    // refused with a sharing violation or "access denied"; that lasts only while they read it.
    const RenameProc rename = s_rename.load();
    if (storage::RetryWhileShared(storage::RetryKind::Replace, [&] {
            if (rename(m_mirrorPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            {
                return true;
            }
            if (::GetLastError() == ERROR_ACCESS_DENIED)
            {
                const DWORD attributes = ::GetFileAttributesW(target.c_str());
                if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY))
                {
                    ::SetLastError(ERROR_SHARING_VIOLATION);
                }
            }
            return false;
        }))
    {
        m_mirrorPath.clear();
        return true;
    }
    if (storage::IsTransientSharingError(::GetLastError()))
    {
        return false;  // still held: ReplaceFileW would meet the same holder
    }
    return ReplaceThroughSystem();
}

bool XStreamFileMirror::ReplaceThroughSystem()
{
    // For file systems that refuse the replacing rename.
    const std::wstring& target = m_filePath;
    DWORD error = 0;  // stands for "no ReplaceFileW on this system"
    std::wstring backup;
    if (const ReplaceFileProc replace = s_replaceFileLookup.load()())
    {
        backup = TemporaryName(m_mirrorPath, /*create=*/false);
        const bool replaced = storage::RetryWhileShared(storage::RetryKind::Replace, [&] {
            return replace(target.c_str(), m_mirrorPath.c_str(), backup.empty() ? nullptr : backup.c_str(),
                       REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
        });
        if (replaced)
        {
            if (!backup.empty())
            {
                win::File::Remove(backup);
            }
            m_mirrorPath.clear();
            return true;
        }
        error = ::GetLastError();
    }

    if (error == 0 || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
    {
        // Both files still have their names: take the old one away and give the mirror its name.
        if (!::DeleteFileW(target.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        {
            return false;
        }
        if (!::MoveFileExW(m_mirrorPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        {
            return false;
        }
    }
    else if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    {
        // The old file now has the backup name. Put the mirror in place first and only then drop the backup,
        // so that a failed rename can still give the old file its name back.
        if (!::MoveFileExW(m_mirrorPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        {
            const DWORD renameError = ::GetLastError();
            if (!backup.empty())
            {
                ::MoveFileExW(backup.c_str(), target.c_str(), 0);
            }
            ::SetLastError(renameError);
            return false;
        }
        if (!backup.empty())
        {
            win::File::Remove(backup);
        }
    }
    else
    {
        // Any other failure leaves the old file in place, so this rename fails and the save is reported.
        if (!::MoveFileExW(m_mirrorPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        {
            return false;
        }
    }
    m_mirrorPath.clear();
    return true;
}

void XStreamFileMirror::Abort() noexcept
{
    m_file.Close();
    if (!m_mirrorPath.empty())
    {
        win::File::Remove(m_mirrorPath);
        m_mirrorPath.clear();
    }
}

std::wstring XStreamFileMirror::TemporaryName(std::wstring_view path, bool create)
{
    const std::wstring full = FullPath(path);
    const auto last = full.find_last_of(L"\\/");
    if (last == std::wstring::npos)
    {
        return {};
    }
    const std::wstring folder = full.substr(0, last + 1);
    wchar_t name[MAX_PATH + 1];
    if (!::GetTempFileNameW(folder.c_str(), L"LIN", 0, name))
    {
        return {};
    }
    if (!create)
    {
        ::DeleteFileW(name);
    }
    return name;
}

std::wstring XStreamFileMirror::RootOf(std::wstring_view path)
{
    const std::wstring_view p = path.substr(0, MAX_PATH);
    std::wstring_view::size_type end = std::wstring_view::npos;
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1]))
    {
        // \\server\share\: past the server name and the share name, each ended by a separator.
        auto pos = std::wstring_view::size_type{2};
        for (int part = 0; part < 2 && pos != std::wstring_view::npos; ++part)
        {
            while (pos < p.size() && !IsSeparator(p[pos]))
            {
                ++pos;
            }
            pos = pos < p.size() ? pos + 1 : std::wstring_view::npos;
        }
        end = pos;
        if (end == std::wstring_view::npos)
        {
            return std::wstring(p) + L'\\';
        }
    }
    else
    {
        for (std::wstring_view::size_type i = 0; i < p.size(); ++i)
        {
            if (IsSeparator(p[i]))
            {
                end = i + 1;
                break;
            }
        }
        if (end == std::wstring_view::npos)
        {
            return {};
        }
    }
    return std::wstring(p.substr(0, end));
}

XStreamFileMirror::RenameProc XStreamFileMirror::SetRenameForTesting(RenameProc rename) noexcept
{
    return s_rename.exchange(rename ? rename : &::MoveFileExW);
}

XStreamFileMirror::ReplaceFileLookup XStreamFileMirror::SetReplaceFileLookupForTesting(
    ReplaceFileLookup lookup) noexcept
{
    return s_replaceFileLookup.exchange(lookup ? lookup : &SystemReplaceFile);
}

XStreamFileMirror::FreeSpaceProc XStreamFileMirror::SetFreeSpaceForTesting(FreeSpaceProc query) noexcept
{
    return s_freeSpace.exchange(query ? query : &FreeBytes);
}

}  // namespace storage
