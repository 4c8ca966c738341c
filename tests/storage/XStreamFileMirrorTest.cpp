#include "StorageTestSupport.h"

#include "storage/SharingRetry.h"
#include "storage/XStreamFileMirror.h"
#include "support/Wait.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

using storage_testing::RawBytesOf;

class XStreamFileMirrorTest : public storage_testing::StorageFixture
{
protected:
    // Writes `contents` to Path() through a mirror-capable open for creation; Close not yet called.
    void OpenAndWrite(storage::XStreamFileMirror& file, const std::string& contents)
    {
        ASSERT_TRUE(
            file.Open(Path(), win::FileAccess::Write, win::FileShare::Exclusive, win::FileCreate::CreateAlways));
        ASSERT_TRUE(file.Write(contents.data(), static_cast<DWORD>(contents.size())));
    }
    std::wstring Path() const { return m_folder.File(L"state.bin"); }
};

// A file system that refuses the replacing rename.
BOOL WINAPI RefuseRename(LPCWSTR, LPCWSTR, DWORD)
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI FailsKeepingNames(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID)
{
    ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

BOOL WINAPI FailsAfterMovingOldToBackup(LPCWSTR replaced, LPCWSTR, LPCWSTR backup, DWORD, LPVOID, LPVOID)
{
    if (backup == nullptr || !::MoveFileW(replaced, backup))
    {
        return TRUE;  // makes the test fail: the old file must have gone to the backup name
    }
    ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}

FILETIME CreationTimeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftCreationTime;
}

// Gives `path` a creation time far in the past; false where the file system keeps no creation time of its own.
bool BackdateCreation(const std::wstring& path, FILETIME& creation)
{
    const SYSTEMTIME old{2001, 2, 0, 3, 4, 5, 6, 0};
    ::SystemTimeToFileTime(&old, &creation);
    win::FileHandle file(
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file || !::SetFileTime(file.Get(), &creation, nullptr, nullptr))
    {
        return false;
    }
    file.Reset();
    const FILETIME stored = CreationTimeOf(path);
    return ::CompareFileTime(&creation, &stored) == 0;
}

TEST_F(XStreamFileMirrorTest, NewFilesAreWrittenInPlaceExistingOnesReplacedWholeOnCloseWithTheirCreationTime)
{
    {
        storage::XStreamFileMirror file;
        OpenAndWrite(file, "fresh");
        EXPECT_TRUE(file.MirrorPath().empty());
        EXPECT_EQ(0u, m_folder.CountFiles(L"LIN"));
        ASSERT_TRUE(file.Close());
        EXPECT_EQ("fresh", RawBytesOf(Path()));
    }
    {
        storage::XStreamFileMirror file;
        ASSERT_TRUE(
            file.Open(Path(), win::FileAccess::ReadWrite, win::FileShare::DenyWrite, win::FileCreate::OpenExisting));
        EXPECT_TRUE(file.MirrorPath().empty()) << "opened without creating";
        ASSERT_TRUE(file.Close());
    }
    FILETIME creation{};
    const bool keepsCreationTimes = BackdateCreation(Path(), creation);
    storage::XStreamFileMirror file;
    OpenAndWrite(file, "new");
    EXPECT_FALSE(file.MirrorPath().empty());
    EXPECT_EQ(1u, m_folder.CountFiles(L"LIN"));
    EXPECT_EQ("fresh", RawBytesOf(Path())) << "the old file must stay whole until the swap";
    ASSERT_TRUE(file.Close());
    EXPECT_EQ("new", RawBytesOf(Path()));
    const FILETIME now = CreationTimeOf(Path());
    EXPECT_TRUE(!keepsCreationTimes || ::CompareFileTime(&creation, &now) == 0);
}

// The free-space query of the volume that the root of the file's full path names.
std::wstring s_askedRoot;
std::uint64_t s_freeBytes = 0;
std::uint64_t AnswerFreeBytes(const std::wstring& root)
{
    s_askedRoot = root;
    return s_freeBytes;
}

// A write over an existing file goes through a mirror only when its volume has more than twice the file's size
// free; otherwise (and when the query fails, which gives 0) the file is written in place.
TEST_F(XStreamFileMirrorTest, MirrorsOnlyWithMoreThanTwiceTheFileFreeOnTheRootOfItsPath)
{
    const auto previous = storage::XStreamFileMirror::SetFreeSpaceForTesting(&AnswerFreeBytes);
    for (const auto& [free, mirrored] : {std::pair{7u, true}, {6u, false}, {0u, false}})
    {
        SCOPED_TRACE(testing::Message() << free << " bytes free for 3");
        ASSERT_TRUE(win::File::WriteAll(Path(), "old"));
        s_freeBytes = free;
        s_askedRoot.clear();
        storage::XStreamFileMirror file;
        OpenAndWrite(file, "new");
        EXPECT_EQ(mirrored, !file.MirrorPath().empty());
        EXPECT_EQ(Path().substr(0, 3), s_askedRoot);
        ASSERT_TRUE(file.Close());
        EXPECT_EQ("new", RawBytesOf(Path()));
    }
    storage::XStreamFileMirror::SetFreeSpaceForTesting(previous);

    const std::pair<const wchar_t*, const wchar_t*> roots[] = {
        {L"C:\\a\\b.txt", L"C:\\"},
        {L"\\\\server\\share\\folder\\file", L"\\\\server\\share\\"},
        {L"//server/share/file", L"//server/share/"},
        {L"\\\\server\\share", L"\\\\server\\share\\"},
        {L"/", L"/"},
        {L"/folder/file", L"/"},
        {L"no separator", L""},
    };
    for (const auto& [path, root] : roots)
    {
        SCOPED_TRACE(win::WideToAnsi(path, CP_UTF8));
        EXPECT_EQ(root, storage::XStreamFileMirror::RootOf(path));
    }
}

TEST_F(XStreamFileMirrorTest, AbandonedWriteKeepsOldFileByteForByte)
{
    const std::string old = std::string("old\0contents\xff", 14);
    for (const bool abortExplicitly : {true, false})
    {
        SCOPED_TRACE(abortExplicitly ? "Abort" : "destroyed without Close");
        ASSERT_TRUE(win::File::WriteAll(Path(), old));
        {
            storage::XStreamFileMirror file;
            OpenAndWrite(file, "half a new fi");
            if (abortExplicitly)
            {
                file.Abort();
            }
        }
        EXPECT_EQ(old, RawBytesOf(Path()));
    }
}

TEST_F(XStreamFileMirrorTest, RefusedRenameFallsBackToReplaceFileAndItsFallbacks)
{
    const std::tuple<const char*, storage::XStreamFileMirror::ReplaceFileLookup, bool> cases[] = {
        {"ReplaceFileW of the system", [] { return &::ReplaceFileW; }, true},
        {"no ReplaceFileW", [] { return storage::XStreamFileMirror::ReplaceFileProc{}; }, true},
        {"1176: both keep their names", [] { return &FailsKeepingNames; }, true},
        {"1177: old file moved to the backup name", [] { return &FailsAfterMovingOldToBackup; }, true},
        {"other error: old file still in place", [] { return &storage_testing::DenyReplace; }, false},
    };
    for (const auto& [name, lookup, closes] : cases)
    {
        SCOPED_TRACE(name);
        const auto previousLookup = storage::XStreamFileMirror::SetReplaceFileLookupForTesting(lookup);
        const auto previousRename = storage::XStreamFileMirror::SetRenameForTesting(&RefuseRename);
        const win::ScopeExit restore([&] {
            storage::XStreamFileMirror::SetReplaceFileLookupForTesting(previousLookup);
            storage::XStreamFileMirror::SetRenameForTesting(previousRename);
        });
        ASSERT_TRUE(win::File::WriteAll(Path(), "old"));
        storage::XStreamFileMirror file;
        OpenAndWrite(file, "new");
        EXPECT_EQ(closes, file.Close());
        if (!closes)
        {
            file.Abort();
        }
        EXPECT_EQ(closes ? "new" : "old", RawBytesOf(Path()));
    }
}

TEST_F(XStreamFileMirrorTest, ReplacementWaitsForAReaderToLetGoButNotForEver)
{
    for (const bool letsGo : {true, false})
    {
        SCOPED_TRACE(letsGo ? "reader lets go" : "reader holds past the retries");
        ASSERT_TRUE(win::File::WriteAll(Path(), "old"));
        win::FileHandle reader(
            ::CreateFileW(Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        storage::XStreamFileMirror file;
        OpenAndWrite(file, "new");
        const auto retriesBefore = storage::GetRetryCounts().replaces;
        bool closed = true;
        std::thread closer([&] { closed = file.Close(); });
        if (letsGo)
        {
            EXPECT_TRUE(testing_support::WaitFor([&] { return storage::GetRetryCounts().replaces > retriesBefore; }));
            reader.Reset();
        }
        closer.join();
        EXPECT_EQ(letsGo, closed);
        if (!closed)
        {
            file.Abort();
        }
        reader.Reset();
        EXPECT_EQ(letsGo ? "new" : "old", RawBytesOf(Path()));
    }
}

}  // namespace
