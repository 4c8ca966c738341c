#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "storage/XStreamFileMirror.h"
#include "support/FailureReports.h"
#include "support/Trial.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace
{

using storage_testing::Bytes;
using storage_testing::PlainBytesOf;
using storage_testing::PlainRecord;
using storage_testing::RawBytesOf;
using storage_testing::Scramble;

// A status file that records what it reports.
class RecordingStatusFile : public core::StatusConfigFile
{
public:
    void GetReportFormat(std::wstring& format) override { format = L"<%s>"; }
    void GetSaveFailedText(std::wstring& text) override { text = L"save failed"; }
    void GetLanguageMismatchText(std::wstring& text) override { text = L"other language"; }
    void GetDecodeFailedText(std::wstring& text) override { text = L"decode failed"; }
    bool ReportError(const std::wstring& text) override
    {
        reports.push_back(text);
        return true;
    }

    std::vector<std::wstring> reports;
};

class StreamFileTest : public storage_testing::StorageFixture
{
protected:
    std::wstring Path() const { return m_folder.File(L"Norvix.status.config"); }

    // Opens `file` on Path() and saves a record with the given values.
    void SaveValues(core::StatusConfigFile& file, std::int32_t pavise, std::int32_t norvix, double lastCheck)
    {
        file.Open(Path());
        file.GetRecord()->m_paviseStatus = pavise;
        file.GetRecord()->m_norvixStatus = norvix;
        file.GetRecord()->m_lastCheck = storage::DateTime::FromValue(lastCheck);
        ASSERT_TRUE(file.Save(false));
    }

    void WriteScrambled(const std::string& plain) { ASSERT_TRUE(win::File::WriteAll(Path(), Scramble(plain))); }
};

TEST_F(StreamFileTest, RecordsAreWrittenFieldByFieldWithVersionOneAndAMissingFileGetsTheDefaults)
{
    core::StatusConfigFile file;
    file.Open(Path());
    ASSERT_TRUE(file.Load(false, true));
    EXPECT_EQ(PlainRecord{}.Status(), PlainBytesOf(Path()));
    file.GetRecord()->version = 7;  // a loaded version is not written back
    file.GetRecord()->m_paviseStatus = -2;
    file.GetRecord()->m_norvixStatus = 3;
    file.GetRecord()->m_lastCheck = storage::DateTime::FromValue(45123.75, 1);
    ASSERT_TRUE(file.Save(false));
    EXPECT_EQ(PlainRecord{}.Status(-2, 3, 45123.75, 1), PlainBytesOf(Path()));

    const std::wstring bubblePath = m_folder.File(L"Norvix.install-bubble.config");
    bubble::XToolbarBubbleConfigFile bubble;
    bubble.Open(bubblePath);
    ASSERT_TRUE(bubble.Load(false, true));
    EXPECT_EQ(1u, bubble.GetRecord()->m_showFlag);
    EXPECT_EQ(PlainRecord{}.Head() + Bytes(std::uint32_t{1}), PlainBytesOf(bubblePath));
    bubble.GetRecord()->m_showFlag = 0;
    ASSERT_TRUE(bubble.Save(false));
    EXPECT_EQ(PlainRecord{}.Head() + Bytes(std::uint32_t{0}), PlainBytesOf(bubblePath));
}

// The two record files and how their fields are set and read, for the trial below.
struct RecordKind
{
    std::unique_ptr<storage::XStreamFile> (*make)();
    std::string (*fields)(storage::XStreamFile& file);  // as stored
    void (*mark)(storage::XStreamFile& file);  // sets every field to a value no record of the trial has
    std::string (*valid)(std::mt19937& random);
    std::vector<std::size_t> numbers;  // offsets of the 4-byte numbers and (last) the 8-byte one, or 0
};

core::StatusConfigStream& StatusOf(storage::XStreamFile& file)
{
    return *static_cast<core::StatusConfigFile&>(file).GetRecord();
}

const RecordKind kRecordKinds[] = {
    {[] { return std::unique_ptr<storage::XStreamFile>(new core::StatusConfigFile()); },
        [](storage::XStreamFile& f) {
            const core::StatusConfigStream& r = StatusOf(f);
            return Bytes(r.m_paviseStatus) + Bytes(r.m_norvixStatus) + Bytes(r.m_lastCheck.status) +
                Bytes(r.m_lastCheck.bits);
        },
        [](storage::XStreamFile& f) {
            StatusOf(f).m_paviseStatus = StatusOf(f).m_norvixStatus = 77;
            StatusOf(f).m_lastCheck = storage::DateTime::FromValue(7.5, 7);
        },
        [](std::mt19937& random) {
            return PlainRecord{}.Status(static_cast<std::int32_t>(random() % 5) - 2,
                static_cast<std::int32_t>(random() % 6) - 2, 40000.0 + random() % 20000 + (random() % 86400) / 86400.0);
        },
        {0, 4, 14, 18, 22, 26, 30}},
    {[] { return std::unique_ptr<storage::XStreamFile>(new bubble::XToolbarBubbleConfigFile()); },
        [](storage::XStreamFile& f) {
            return Bytes(static_cast<bubble::XToolbarBubbleConfigFile&>(f).GetRecord()->m_showFlag);
        },
        [](storage::XStreamFile& f) { static_cast<bubble::XToolbarBubbleConfigFile&>(f).GetRecord()->m_showFlag = 77; },
        [](std::mt19937& random) { return PlainRecord{}.Head() + Bytes(std::uint32_t(random() % 2)); },
        {0, 4, 14, 18, 0}},
};

// Files that other programs or a damaged disk may leave: first the edges (empty, the head alone, one byte short, a
// foreign tag), then records made from valid ones by cuts, bit flips, inserted bytes and numbers at the edges of
// their types. A file is taken only when it is a record (at least the record's length, the tag, this system's
// language), and then with exactly its bytes' values. Any other keeps the values held, or with resetOnFailure
// gets the defaults and is rewritten with them; another language alone always resets and leaves the file.
TEST_F(StreamFileTest, OnlyWholeRecordsOfThisSystemAreTakenAndAsTheyAre)
{
    constexpr int kInputs = 500;  // of each file: a few seconds under Wine
    const std::uint32_t seed = testing_support::TrialSeed(20261206);
    std::mt19937 random(seed);
    std::string anyByte(256, '\0');
    std::iota(anyByte.begin(), anyByte.end(), '\0');
    const std::uint64_t doubles[] = {0x7FF8000000000000, 0xFFF8000000000000, 0x7FF0000000000001, 0x7FF0000000000000,
        0xFFF0000000000000, 0x7FEFFFFFFFFFFFFF, 0xFFEFFFFFFFFFFFFF, 1, 0x8000000000000000, 0xBFF0000000000000};
    const std::uint32_t integers[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    const std::string language = Bytes(PlainRecord{}.languageId);
    // Each file not taken is reported, as the archive's failure and as the outcome for the file.
    const testing_support::ExpectFailureReports expected{
        "archive: ", "damaged, reset and written anew", "damaged, the record kept", "?reset: "};
    for (const RecordKind& kind : kRecordKinds)
    {
        const std::unique_ptr<storage::XStreamFile> defaultFile = kind.make();
        defaultFile->Open(Path());
        const std::string defaults = kind.valid(random).substr(0, 18) + kind.fields(*defaultFile);
        PlainRecord foreign;
        foreign.tag = "TNYX";
        const std::string edges[] = {
            "", defaults.substr(0, 14), defaults.substr(0, defaults.size() - 1), foreign.Head() + defaults.substr(18)};
        for (int input = 0; input < kInputs && !HasFailure(); ++input)
        {
            std::string plain = input < 4 ? edges[input] : kind.valid(random);
            for (int mutations = input < 4 ? 0 : 1 + static_cast<int>(random() % 3); mutations > 0; --mutations)
            {
                const std::size_t at = kind.numbers[random() % kind.numbers.size()];
                const bool isDouble = at == kind.numbers.back();
                if (random() % 4 != 0 || at + (isDouble ? 8 : 4) > plain.size())
                {
                    plain = testing_support::Mutate(plain, anyByte, random);
                }
                else
                {
                    plain.replace(at, isDouble ? 8 : 4,
                        isDouble ? Bytes(doubles[random() % std::size(doubles)])
                                 : Bytes(integers[random() % std::size(integers)]));
                }
            }
            const bool reset = input % 2 == 0;
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", input " << input << (reset ? ", reset" : "")
                                            << ": \"" << testing_support::Printable(plain) << "\"");
            WriteScrambled(plain);
            const std::unique_ptr<storage::XStreamFile> file = kind.make();
            file->Open(Path());
            kind.mark(*file);
            const std::string marked = kind.fields(*file);

            const bool loaded = file->Load(false, reset);
            const bool whole = plain.size() >= defaults.size() && plain.compare(8, 4, "TNYT") == 0;
            const bool isRecord = whole && plain.compare(12, 2, language) == 0;
            EXPECT_EQ(isRecord, loaded);
            const std::string held =
                isRecord ? plain.substr(18, defaults.size() - 18) : (whole || reset ? defaults.substr(18) : marked);
            EXPECT_EQ(testing_support::Printable(held), testing_support::Printable(kind.fields(*file)));
            EXPECT_EQ(Scramble(whole || !reset ? plain : defaults), RawBytesOf(Path()));
        }
    }
}

TEST_F(StreamFileTest, FailuresAreReportedAndOnlyTheLanguageOrTheDamageResetsTheRecord)
{
    const testing_support::ExpectFailureReports expected{"reset: ", "archive: end of file", "damaged, reset",
        "!sourceOpened: 0x80070020", "not read, the file and the record kept"};
    // Another language: the next save writes the defaults under this system's.
    PlainRecord other;
    other.languageId = static_cast<std::uint16_t>(::GetSystemDefaultLangID() ^ 0x0400);
    WriteScrambled(other.Status(1, 1, 45000.0));
    RecordingStatusFile file;
    file.Open(Path());
    EXPECT_FALSE(file.Load(true, true));
    ASSERT_TRUE(file.Save(false));
    EXPECT_EQ(PlainRecord{}.Status(), PlainBytesOf(Path()));

    // An archive failure is reported as lower-case text that names the file.
    WriteScrambled("");
    EXPECT_FALSE(file.Load(true, true));
    ASSERT_EQ(2u, file.reports.size());
    EXPECT_EQ(L"<other language>", file.reports[0]);
    const std::wstring& text = file.reports[1];
    const std::wstring start = L"<reporting file i/o exception on save/load with [";
    EXPECT_EQ(start, text.substr(0, start.size())) << win::WideToAnsi(text, CP_UTF8);
    EXPECT_NE(std::wstring::npos, text.find(win::ToLower(Path()))) << "names the file";
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
    EXPECT_EQ(1, busy.GetRecord()->m_paviseStatus);
    EXPECT_EQ(2, busy.GetRecord()->m_norvixStatus);
    EXPECT_EQ(45000.0, busy.GetRecord()->m_lastCheck.Value());
    holder.Reset();
    EXPECT_EQ(held, RawBytesOf(Path()));
}

// A state file is in a folder that any program of the user may write, and may be of any length: one longer than
// a record could be is refused before it is read, whatever its length, and kept on disk as it is, with the
// record held. A load that keeps failing so is reported once, until one works again.
TEST_F(StreamFileTest, AFileLongerThanAnyRecordIsRefusedUnreadAndKeptAsItIs)
{
    const testing_support::ExpectFailureReports expected{"longer than 4096 bytes, damaged"};
    std::mt19937 random(7);
    for (const RecordKind& kind : kRecordKinds)
    {
        const std::string record = kind.valid(random);
        const std::string fields = record.substr(18);
        for (const std::uint64_t length : {std::uint64_t{4096}, std::uint64_t{4097}, std::uint64_t{512} << 20})
        {
            SCOPED_TRACE(testing::Message() << length << " bytes");
            {
                win::File padded;
                ASSERT_TRUE(padded.Open(
                    Path(), win::FileAccess::Write, win::FileShare::Exclusive, win::FileCreate::CreateAlways));
                ASSERT_TRUE(padded.Write(Scramble(record).data(), static_cast<DWORD>(record.size())));
                ASSERT_TRUE(padded.Seek(static_cast<std::int64_t>(length)));  // a sparse file past the record
                ASSERT_TRUE(::SetEndOfFile(padded.Handle()));
            }
            const std::unique_ptr<storage::XStreamFile> file = kind.make();
            file->Open(Path());
            kind.mark(*file);
            const std::string marked = kind.fields(*file);
            const int reportsBefore = expected.Seen("longer than 4096 bytes, damaged");
            const bool taken = length <= storage::XStreamFile::kMaxFileBytes;
            for (int load = 0; load < 3; ++load)
            {
                EXPECT_EQ(taken, file->Load(false, true));
            }
            EXPECT_EQ(
                testing_support::Printable(taken ? fields : marked), testing_support::Printable(kind.fields(*file)));
            EXPECT_EQ(taken ? 0 : 1, expected.Seen("longer than 4096 bytes, damaged") - reportsBefore);
            std::uint64_t onDisk = 0;
            win::File check;
            ASSERT_TRUE(
                check.Open(Path(), win::FileAccess::Read, win::FileShare::DenyNone, win::FileCreate::OpenExisting));
            ASSERT_TRUE(check.GetLength(onDisk));
            EXPECT_EQ(length, onDisk);
        }
        // A save writes the record in the place of the padded file, and the next load takes it.
        const std::unique_ptr<storage::XStreamFile> file = kind.make();
        file->Open(Path());
        kind.mark(*file);
        EXPECT_FALSE(file->Load(false, true));
        ASSERT_TRUE(file->Save(false));
        EXPECT_TRUE(file->Load(false, true));
        EXPECT_EQ(18 + kind.fields(*file).size(), RawBytesOf(Path()).size());
    }
}

// A record is written back with the date exactly as it was read, whatever its eight bytes hold: a signalling NaN
// (which moved through an x87 register would come back quiet), NaNs with payloads, infinities, a negative zero,
// the smallest denormal. What the product does: load, change a code, save. No SCOPED_TRACE: the 32-bit suite runs
// this under the emulator, where a failure's debug line beside GoogleTest's waiting trace thread ends the process.
TEST_F(StreamFileTest, AnotherFieldsSaveWritesTheDateBackByteForByte)
{
    const std::uint64_t dates[] = {0x7FF0000000000001, 0x7FF4000000000000, 0xFFF0000000000001, 0x7FF7FFFFFFFFFFFF,
        0x7FF8000000000001, 0xFFF8000000000000, 0x7FF0000000000000, 0xFFF0000000000000, 0x8000000000000000, 1,
        0x40E6761000000000};  // the last: 46000.5, an afternoon in 2025
    for (const std::uint64_t date : dates)
    {
        const std::string head = PlainRecord{}.Head() + Bytes(std::int32_t{1});
        const std::string tail = Bytes(std::int32_t{0}) + Bytes(date);
        WriteScrambled(head + Bytes(std::int32_t{2}) + tail);
        core::StatusConfigFile file;
        file.Open(Path());
        ASSERT_TRUE(file.Load(false, true));
        file.GetRecord()->m_norvixStatus = 3;
        ASSERT_TRUE(file.Save(false));
        EXPECT_EQ(testing_support::Printable(head + Bytes(std::int32_t{3}) + tail),
            testing_support::Printable(PlainBytesOf(Path())))
            << std::hex << "date 0x" << date;
    }
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

TEST_F(StreamFileTest, FailedSaveLeavesTheOldFileWhole)
{
    const testing_support::ExpectFailureReports expected{"!mirroredTarget.Close()", "not saved, the file keeps"};
    RecordingStatusFile file;
    SaveValues(file, 1, 1, 45000.0);
    const std::string before = RawBytesOf(Path());
    s_expectedTarget = Path();
    const auto previousRename = storage::XStreamFileMirror::SetRenameForTesting(&InspectAndRefuse);
    const auto previousLookup =
        storage::XStreamFileMirror::SetReplaceFileLookupForTesting([] { return &storage_testing::DenyReplace; });
    file.GetRecord()->m_norvixStatus = 2;
    const bool saved = file.Save(true);
    storage::XStreamFileMirror::SetRenameForTesting(previousRename);
    storage::XStreamFileMirror::SetReplaceFileLookupForTesting(previousLookup);

    EXPECT_FALSE(saved);
    EXPECT_EQ(std::vector<std::wstring>{L"save failed"}, file.reports);
    EXPECT_EQ(before, s_targetAtSwap) << "the real file was written in place";
    EXPECT_EQ(Scramble(PlainRecord{}.Status(1, 2, 45000.0)), s_mirrorAtSwap);
    EXPECT_EQ(before, RawBytesOf(Path()));
}

}  // namespace
