#pragma once
// XStreamFileMirror: a file that, when an existing file is opened for creation, writes into a mirror file
// beside it and puts the mirror in the old file's place only on Close. A failed or abandoned write
// (Abort, or destruction without Close) therefore leaves the old file exactly as it was, and a reader in
// another process meets either the old whole file or the new whole file, never a half-written one.
//
// The mirror is used only when the target exists and the volume has more than twice its size free; a new
// file, a read and a create without room are opened directly. The mirror gets the old file's creation time
// and access-control list. Close swaps with one replacing rename, so that the name always holds a whole
// file; a swap that a reader in another process blocks for a moment is retried briefly. Where the file
// system refuses the rename, ReplaceFileW (looked up at run time) does the swap, with fallbacks for the
// errors after which both files or the old file's backup are still there.
//
// One owner, one thread at a time. Failures are results: false with GetLastError set.

#include "win/File.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace storage
{

class XStreamFileMirror
{
public:
    using ReplaceFileProc = BOOL(WINAPI*)(
        LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude, LPVOID reserved);
    using ReplaceFileLookup = ReplaceFileProc (*)();
    using RenameProc = BOOL(WINAPI*)(LPCWSTR existing, LPCWSTR newName, DWORD flags);
    using FreeSpaceProc = std::uint64_t (*)(const std::wstring& root);

    XStreamFileMirror() noexcept = default;
    XStreamFileMirror(const XStreamFileMirror&) = delete;
    XStreamFileMirror& operator=(const XStreamFileMirror&) = delete;
    // NOTE: a file still open is abandoned the way Abort abandons it: the old file stays.
    virtual ~XStreamFileMirror();

    // Opens `path`. With FileCreate::CreateAlways on an existing file the writes go to a mirror.
    [[nodiscard]] virtual bool Open(
        std::wstring_view path, win::FileAccess access, win::FileShare share, win::FileCreate create);
    // Closes; with a mirror, puts it in the target's place. On failure the mirror is kept for Abort.
    [[nodiscard]] virtual bool Close();
    // Closes without looking at errors and removes the mirror; the target is left as it was.
    virtual void Abort() noexcept;

    [[nodiscard]] bool Read(void* buffer, DWORD size, DWORD& read) noexcept { return m_file.Read(buffer, size, read); }
    [[nodiscard]] bool Write(const void* buffer, DWORD size) noexcept { return m_file.Write(buffer, size); }
    [[nodiscard]] bool GetLength(std::uint64_t& length) const noexcept { return m_file.GetLength(length); }
    [[nodiscard]] bool IsOpen() const noexcept { return m_file.IsOpen(); }

    // The file the caller named, and the mirror written in its stead ("" when writing directly).
    [[nodiscard]] const std::wstring& FilePath() const noexcept { return m_filePath; }
    [[nodiscard]] const std::wstring& MirrorPath() const noexcept { return m_mirrorPath; }

    // A unique "LIN" file name in the folder of `path`; the file is created, and removed again unless
    // `create`. "" on failure.
    [[nodiscard]] static std::wstring TemporaryName(std::wstring_view path, bool create);

    // The root of a path for the free-space query: "C:\" for "C:\a\b", "\\server\share\" for a network path.
    [[nodiscard]] static std::wstring RootOf(std::wstring_view path);

    // Tests only: replaces how ReplaceFileW is found (a lookup returning null stands for a system without it).
    // Returns the previous lookup; pass it back to restore.
    static ReplaceFileLookup SetReplaceFileLookupForTesting(ReplaceFileLookup lookup) noexcept;
    // Tests only: replaces the replacing rename (MoveFileExW) of Close; null restores it. Returns the previous.
    static RenameProc SetRenameForTesting(RenameProc rename) noexcept;
    // Tests only: replaces the free-space query of Open (bytes free on the volume of a root, 0 when unknown); null
    // restores it. Returns the previous.
    static FreeSpaceProc SetFreeSpaceForTesting(FreeSpaceProc query) noexcept;

private:
    [[nodiscard]] bool ReplaceThroughSystem();
    void CopyCreationTime(const FILETIME& creation) noexcept;
    void CopyAccessControl(const std::wstring& source) noexcept;

    win::File m_file;
    std::wstring m_filePath;
    std::wstring m_mirrorPath;
};

}  // namespace storage
