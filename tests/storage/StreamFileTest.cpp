#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "storage/XStreamFileMirror.h"
#include "support/FailureReports.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using storage_testing::Bytes;
using storage_testing::PlainBytesOf;
using storage_testing::PlainRecord;
using storage_testing::RawBytesOf;
using storage_testing::Scramble;

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
        file.GetRecord()->m_paviseStatus = pavise;
        file.GetRecord()->m_norvixStatus = norvix;
        file.GetRecord()->m_lastCheck = {lastCheck, 0};
        ASSERT_TRUE(file.Save(false));
    }

    static void ExpectValues(const StatusConfigFile& file, std::int32_t pavise, std::int32_t norvix, double lastCheck)
    {
        const StatusConfigStream* record = file.GetRecord();
        ASSERT_NE(nullptr, record);
        EXPECT_EQ(pavise, record->m_paviseStatus);
        EXPECT_EQ(norvix, record->m_norvixStatus);
        EXPECT_EQ(0, record->m_lastCheck.status);
        EXPECT_EQ(lastCheck, record->m_lastCheck.value);
    }

    void WriteScrambled(const std::string& plain) { ASSERT_TRUE(win::File::WriteAll(Path(), Scramble(plain))); }
};

TEST_F(StreamFileTest, RecordsAreWrittenFieldByFieldWithVersionOneAndAMissingFileGetsTheDefaults)
{
    StatusConfigFile file;
    file.Open(Path());
    ASSERT_TRUE(file.Load(false, true));
    EXPECT_EQ(PlainRecord{}.Status(), PlainBytesOf(Path()));
    file.GetRecord()->version = 7;  // a loaded version is not written back
    file.GetRecord()->m_paviseStatus = -2;
    file.GetRecord()->m_norvixStatus = 3;
    file.GetRecord()->m_lastCheck = {45123.75, 1};
    ASSERT_TRUE(file.Save(false));
    EXPECT_EQ(PlainRecord{}.Status(-2, 3, 45123.75, 1), PlainBytesOf(Path()));

    const std::wstring bubblePath = m_folder.File(L"Norvix.install-bubble.config");
    XToolbarBubbleConfigFile bubble;
    bubble.Open(bubblePath);
    ASSERT_TRUE(bubble.Load(false, true));
    EXPECT_EQ(1u, bubble.GetRecord()->m_showFlag);
    EXPECT_EQ(PlainRecord{}.Head() + Bytes(std::uint32_t{1}), PlainBytesOf(bubblePath));
    bubble.GetRecord()->m_showFlag = 0;
    ASSERT_TRUE(bubble.Save(false));
    EXPECT_EQ(PlainRecord{}.Head() + Bytes(std::uint32_t{0}), PlainBytesOf(bubblePath));
}

TEST_F(StreamFileTest, DamagedFileResetsTheRecordAndIsRewrittenWithDefaults)
{
    PlainRecord foreign;
    foreign.tag = "TNYX";
    const std::string whole = PlainRecord{}.Status();
    const std::pair<const char*, std::string> cases[] = {{"foreign tag", foreign.Status(1)}, {"zero length", ""},
        {"head only", whole.substr(0, 14)}, {"one byte short", whole.substr(0, 37)}};
    for (const auto& [name, plain] : cases)
    {
        for (const bool resetOnFailure : {true, false})
        {
            SCOPED_TRACE(testing::Message() << name << (resetOnFailure ? ", reset on failure" : ""));
            const testing_support::ExpectFailureReports expected{
                "archive: ", resetOnFailure ? "damaged, reset and written anew" : "damaged, the record kept"};
            RecordingStatusFile file;
            SaveValues(file, 2, 2, 45000.0);
            WriteScrambled(plain);
            const std::string damaged = RawBytesOf(Path());

            EXPECT_FALSE(file.Load(false, resetOnFailure));
            EXPECT_EQ(0, file.loadedCalls);
            ExpectValues(file, resetOnFailure ? 0 : 2, resetOnFailure ? 0 : 2, resetOnFailure ? 0.0 : 45000.0);
            EXPECT_EQ(resetOnFailure ? Scramble(whole) : damaged, RawBytesOf(Path()));
        }
    }
}

TEST_F(StreamFileTest, FailuresAreReportedAndOnlyTheLanguageOrTheDamageResetsTheRecord)
{
    const testing_support::ExpectFailureReports expected{"reset: ", "archive: end of file", "damaged, reset",
        "!sourceOpened: 0x80070020", "not read, the file and the record kept"};
    // Another language: the record resets but the file stays until the next save.
    PlainRecord other;
    other.languageId = static_cast<std::uint16_t>(::GetSystemDefaultLangID() ^ 0x0400);
    WriteScrambled(other.Status(1, 1, 45000.0));
    const std::string before = RawBytesOf(Path());
    RecordingStatusFile file;
    file.Open(Path());
    EXPECT_FALSE(file.Load(true, true));
    ExpectValues(file, 0, 0, 0.0);
    EXPECT_EQ(before, RawBytesOf(Path()));
    ASSERT_TRUE(file.Save(false));
    EXPECT_EQ(PlainRecord{}.Status(), PlainBytesOf(Path()));

    // An archive failure is reported as lower-case text that names the temporary file.
    WriteScrambled("");
    EXPECT_FALSE(file.Load(true, true));
    ASSERT_EQ(2u, file.reports.size());
    EXPECT_EQ(L"<other language>", file.reports[0]);
    const std::wstring& text = file.reports[1];
    const std::wstring start = L"<reporting file i/o exception on save/load with [";
    EXPECT_EQ(start, text.substr(0, start.size())) << win::WideToAnsi(text, CP_UTF8);
    EXPECT_NE(std::wstring::npos, text.find(L"\\kel")) << "names the temporary file";
    EXPECT_EQ(L"] file.>", text.substr(text.size() - 8));
    EXPECT_EQ(win::ToLower(text), text);

    // A file another process holds is neither reset nor rewritten.
    RecordingStatusFile busy;
    SaveValues(busy, 1, 2, 45000.0);
    const std::string held = RawBytesOf(Path());
    win::FileHandle holder(::CreateFileW(Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(busy.Load(true, true));
    EXPECT_EQ(std::vector<std::wstring>{L"<decode failed>"}, busy.reports);
    ExpectValues(busy, 1, 2, 45000.0);
    holder.Reset();
    EXPECT_EQ(held, RawBytesOf(Path()));
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
    const testing_support::ExpectFailureReports expected{"!mirroredTarget.Close()", "not saved, the file keeps"};
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
    EXPECT_EQ(Scramble(PlainRecord{}.Status(1, 2, 45000.0)), s_mirrorAtSwap);
    EXPECT_EQ(before, RawBytesOf(Path()));
}

}  // namespace
