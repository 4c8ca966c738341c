#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "storage/SharingRetry.h"
#include "storage/XStreamFileMirror.h"
#include "support/Wait.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{

using storage_testing::FieldAt;
using storage_testing::PlainBytesOf;
using storage_testing::PlainStatus;
using storage_testing::RawBytesOf;
using storage_testing::WriteScrambled;

// A status file that records what it reports and how often it loaded.
class RecordingStatusFile : public StatusConfigFile
{
public:
    void OnLoaded() override { ++loadedCalls; }
    void GetReportFormat(std::wstring& format) override { format = L"<%s>"; }
    void GetSaveFailedText(std::wstring& text) override { text = L"save failed"; }
    void GetLanguageMismatchText(std::wstring& text) override { text = L"other language"; }
    void GetDecodeFailedText(std::wstring& text) override { text = L"decode failed"; }
    bool ReportError(const std::wstring& text) override
    {
        reports.push_back(text);
        return true;
    }

    int loadedCalls = 0;
    std::vector<std::wstring> reports;
};

class StreamFileTest : public storage_testing::StorageFixture
{
protected:
    std::wstring Path() const { return m_folder.File(L"Norvix.status.config"); }

    // Opens `file` on Path() and saves a record with the given values.
    void SaveValues(StatusConfigFile& file, std::int32_t pavise, std::int32_t norvix, double lastCheck)
    {
        file.Open(Path());
        StatusConfigStream* record = file.GetRecord();
        ASSERT_NE(nullptr, record);
        record->m_paviseStatus = pavise;
        record->m_norvixStatus = norvix;
        record->m_lastCheck = {lastCheck, 0};
        ASSERT_TRUE(file.Save(false));
    }

    static void ExpectDefaults(const StatusConfigFile& file)
    {
        const StatusConfigStream* record = file.GetRecord();
        ASSERT_NE(nullptr, record);
        EXPECT_EQ(0, record->m_paviseStatus);
        EXPECT_EQ(0, record->m_norvixStatus);
        EXPECT_EQ(0, record->m_lastCheck.status);
        EXPECT_EQ(0.0, record->m_lastCheck.value);
    }

    static void ExpectValues(const StatusConfigFile& file, std::int32_t pavise, std::int32_t norvix, double lastCheck)
    {
        const StatusConfigStream* record = file.GetRecord();
        ASSERT_NE(nullptr, record);
        EXPECT_EQ(pavise, record->m_paviseStatus);
        EXPECT_EQ(norvix, record->m_norvixStatus);
        EXPECT_EQ(lastCheck, record->m_lastCheck.value);
    }

    // The common head of a record: three versions of 1, the tag, this system's language.
    static void ExpectHead(const std::string& plain)
    {
        EXPECT_EQ(1u, FieldAt<std::uint32_t>(plain, 0));
        EXPECT_EQ(1u, FieldAt<std::uint32_t>(plain, 4));
        EXPECT_EQ("TNYT", plain.substr(8, 4));
        EXPECT_EQ(::GetSystemDefaultLangID(), FieldAt<std::uint16_t>(plain, 12));
        EXPECT_EQ(1u, FieldAt<std::uint32_t>(plain, 14));
    }
};

TEST_F(StreamFileTest, MissingFileIsCreatedWithTheDefaultRecord)
{
    {
        StatusConfigFile file;
        file.Open(Path());
        ASSERT_TRUE(file.Load(false, true));
        const std::string plain = PlainBytesOf(Path());
        ASSERT_EQ(38u, plain.size());
        ExpectHead(plain);
        EXPECT_EQ(0, FieldAt<std::int32_t>(plain, 18));
        EXPECT_EQ(0, FieldAt<std::int32_t>(plain, 22));
        EXPECT_EQ(0, FieldAt<std::int32_t>(plain, 26));
        EXPECT_EQ(0.0, FieldAt<double>(plain, 30));
    }
    {
        const std::wstring path = m_folder.File(L"Norvix.install-bubble.config");
        XToolbarBubbleConfigFile file;
        file.Open(path);
        ASSERT_TRUE(file.Load(false, true));
        EXPECT_EQ(1u, file.GetRecord()->m_showFlag);
        const std::string plain = PlainBytesOf(path);
        ASSERT_EQ(22u, plain.size());
        ExpectHead(plain);
        EXPECT_EQ(1u, FieldAt<std::uint32_t>(plain, 18));
    }
}

TEST_F(StreamFileTest, SaveWritesEveryFieldAtItsOffsetWithVersionOne)
{
    StatusConfigFile file;
    file.Open(Path());
    StatusConfigStream* record = file.GetRecord();
    record->version = 7;  // a loaded version is not written back
    record->m_paviseStatus = -2;
    record->m_norvixStatus = 3;
    record->m_lastCheck = {45123.75, 1};
    ASSERT_TRUE(file.Save(false));

    const std::string plain = PlainBytesOf(Path());
    ASSERT_EQ(38u, plain.size());
    ExpectHead(plain);
    EXPECT_EQ(-2, FieldAt<std::int32_t>(plain, 18));
    EXPECT_EQ(3, FieldAt<std::int32_t>(plain, 22));
    EXPECT_EQ(1, FieldAt<std::int32_t>(plain, 26));
    EXPECT_EQ(45123.75, FieldAt<double>(plain, 30));

    const std::wstring bubblePath = m_folder.File(L"Norvix.install-bubble.config");
    XToolbarBubbleConfigFile bubble;
    bubble.Open(bubblePath);
    bubble.GetRecord()->m_showFlag = 0;
    ASSERT_TRUE(bubble.Save(false));
    const std::string bubblePlain = PlainBytesOf(bubblePath);
    ASSERT_EQ(22u, bubblePlain.size());
    ExpectHead(bubblePlain);
    EXPECT_EQ(0u, FieldAt<std::uint32_t>(bubblePlain, 18));
}

TEST_F(StreamFileTest, SavedRecordLoadsInAnotherObjectAndVersionsAreNotCompared)
{
    StatusConfigFile writer;
    SaveValues(writer, 2, 1, 45000.5);
    RecordingStatusFile reader;
    reader.Open(Path());
    ASSERT_TRUE(reader.Load(false, true));
    ExpectValues(reader, 2, 1, 45000.5);
    EXPECT_EQ(1, reader.loadedCalls);

    PlainStatus other;
    other.versions[0] = 5;
    other.versions[1] = 0;
    other.versions[2] = 0xFFFFFFFF;
    other.paviseStatus = 1;
    other.norvixStatus = 2;
    other.lastCheck = 44000.25;
    WriteScrambled(Path(), other.Bytes());
    ASSERT_TRUE(reader.Load(false, true));
    ExpectValues(reader, 1, 2, 44000.25);
    EXPECT_EQ(2, reader.loadedCalls);
}

TEST_F(StreamFileTest, DamagedFileResetsTheRecordAndIsRewrittenWithDefaults)
{
    PlainStatus foreign;
    foreign.tag = "TNYX";
    foreign.paviseStatus = 1;
    const std::string whole = PlainStatus{}.Bytes();
    struct Case
    {
        const char* name;
        std::string plain;
    };
    const Case cases[] = {
        {"foreign tag", foreign.Bytes()},
        {"zero length", ""},
        {"head only", whole.substr(0, 14)},
        {"one byte short", whole.substr(0, 37)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (const bool resetOnFailure : {true, false})
        {
            SCOPED_TRACE(resetOnFailure ? "reset on failure" : "no reset on failure");
            RecordingStatusFile file;
            SaveValues(file, 2, 2, 45000.0);
            WriteScrambled(Path(), c.plain);
            const std::string damaged = RawBytesOf(Path());

            EXPECT_FALSE(file.Load(false, resetOnFailure));
            EXPECT_EQ(0, file.loadedCalls);
            if (resetOnFailure)
            {
                ExpectDefaults(file);
                EXPECT_EQ(PlainStatus{}.Bytes(), PlainBytesOf(Path()));
            }
            else
            {
                ExpectValues(file, 2, 2, 45000.0);
                EXPECT_EQ(damaged, RawBytesOf(Path()));
            }
        }
    }
}

TEST_F(StreamFileTest, OtherLanguageResetsButLeavesTheFileUntilTheNextSave)
{
    PlainStatus other;
    other.languageId = static_cast<std::uint16_t>(::GetSystemDefaultLangID() ^ 0x0400);
    other.paviseStatus = 1;
    other.norvixStatus = 1;
    other.lastCheck = 45000.0;
    WriteScrambled(Path(), other.Bytes());
    const std::string before = RawBytesOf(Path());

    RecordingStatusFile file;
    file.Open(Path());
    EXPECT_FALSE(file.Load(true, true));
    ExpectDefaults(file);
    EXPECT_EQ(before, RawBytesOf(Path()));
    EXPECT_EQ(std::vector<std::wstring>{L"<other language>"}, file.reports);

    ASSERT_TRUE(file.Save(false));
    EXPECT_EQ(PlainStatus{}.Bytes(), PlainBytesOf(Path()));
}

TEST_F(StreamFileTest, ArchiveFailureIsReportedAsLowerCaseText)
{
    WriteScrambled(Path(), "");
    RecordingStatusFile file;
    file.Open(Path());
    EXPECT_FALSE(file.Load(true, true));
    ASSERT_EQ(1u, file.reports.size());
    const std::wstring& text = file.reports[0];
    const std::wstring start = L"<reporting file i/o exception on save/load with [";
    EXPECT_EQ(start, text.substr(0, start.size())) << win::WideToAnsi(text, CP_UTF8);
    EXPECT_NE(std::wstring::npos, text.find(L"\\kel")) << "names the temporary file";
    EXPECT_EQ(L"] file.>", text.substr(text.size() - 8));
    EXPECT_EQ(win::ToLower(text), text);
}

TEST_F(StreamFileTest, BusyFileIsNeitherResetNorRewritten)
{
    RecordingStatusFile file;
    SaveValues(file, 1, 2, 45000.0);
    const std::string before = RawBytesOf(Path());
    win::FileHandle holder(::CreateFileW(Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    EXPECT_FALSE(file.Load(true, true));
    EXPECT_EQ(std::vector<std::wstring>{L"<decode failed>"}, file.reports);
    ExpectValues(file, 1, 2, 45000.0);
    holder.Reset();
    EXPECT_EQ(before, RawBytesOf(Path()));
}

TEST_F(StreamFileTest, LoadWaitsForABriefHolderToLetGo)
{
    StatusConfigFile writer;
    SaveValues(writer, 2, 1, 45001.0);
    win::FileHandle holder(::CreateFileW(Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    StatusConfigFile reader;
    reader.Open(Path());
    const auto retriesBefore = storage::GetRetryCounts().opens;
    bool loaded = false;
    std::thread loader([&] { loaded = reader.Load(false, true); });
    const bool retried = testing_support::WaitFor([&] { return storage::GetRetryCounts().opens > retriesBefore; });
    holder.Reset();
    loader.join();
    EXPECT_TRUE(retried);
    EXPECT_TRUE(loaded);
    ExpectValues(reader, 2, 1, 45001.0);
}

// Checks, at the moment of the swap, that the real file is still the whole old one and the mirror the whole
// new one; then refuses the swap in every way.
std::wstring s_expectedTarget;
std::string s_targetAtSwap;
std::string s_mirrorAtSwap;

BOOL WINAPI InspectAndRefuse(LPCWSTR existing, LPCWSTR newName, DWORD flags)
{
    if (s_expectedTarget != newName)
    {
        return ::MoveFileExW(existing, newName, flags);
    }
    if (flags & MOVEFILE_REPLACE_EXISTING)
    {
        s_targetAtSwap = RawBytesOf(newName);
        s_mirrorAtSwap = RawBytesOf(existing);
    }
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI DenyReplace(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(StreamFileTest, FailedSaveLeavesTheOldFileWhole)
{
    RecordingStatusFile file;
    SaveValues(file, 1, 1, 45000.0);
    const std::string before = RawBytesOf(Path());

    s_expectedTarget = Path();
    const auto previousRename = XStreamFileMirror::SetRenameForTesting(&InspectAndRefuse);
    const auto previousLookup = XStreamFileMirror::SetReplaceFileLookupForTesting([] { return &DenyReplace; });
    file.GetRecord()->m_norvixStatus = 2;
    const bool saved = file.Save(true);
    XStreamFileMirror::SetRenameForTesting(previousRename);
    XStreamFileMirror::SetReplaceFileLookupForTesting(previousLookup);

    EXPECT_FALSE(saved);
    EXPECT_EQ(std::vector<std::wstring>{L"save failed"}, file.reports);
    EXPECT_EQ(before, s_targetAtSwap) << "the real file was written in place";
    PlainStatus expectedNew;
    expectedNew.paviseStatus = 1;
    expectedNew.norvixStatus = 2;
    expectedNew.lastCheck = 45000.0;
    EXPECT_EQ(storage_testing::Scramble(expectedNew.Bytes()), s_mirrorAtSwap);
    EXPECT_EQ(before, RawBytesOf(Path()));
}

} // namespace

namespace
{

// A file class that names its file itself, as one without an explicit path would.
class NamedStatusFile : public StatusConfigFile
{
public:
    explicit NamedStatusFile(std::wstring folder) : m_folderPath(std::move(folder)) {}
    void GetDefaultFolder(std::wstring& folder) override { folder = m_folderPath; }
    void GetFileNameFormat(std::wstring& format) override { format = L"Norvix%s.100%.config"; }

private:
    std::wstring m_folderPath;
};

TEST_F(StreamFileTest, OpenWithoutPathJoinsDefaultFolderAndFormattedName)
{
    std::wstring folder = m_folder.Path();
    folder.pop_back();  // the separator is added when missing
    NamedStatusFile file(folder);
    file.Open(L"");
    // The test program has no version resource, so the version digits are empty; "%" stays as it is.
    EXPECT_EQ(m_folder.File(L"Norvix.100%.config"), file.FilePath());
    ASSERT_TRUE(file.Load(false, true));
    EXPECT_EQ(38u, PlainBytesOf(file.FilePath()).size());
}

} // namespace
