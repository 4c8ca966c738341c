// The status file as one control uses it from two threads, and how long each thread waits for a file that
// another process holds.

#include "StatusFileHelpers.h"

#include "storage/StorageTestSupport.h"
#include "support/FailureReports.h"
#include "support/TempFolder.h"
#include "support/Wait.h"
#include "win/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{

using core_tests::Held;
using core_tests::Publish;
using core_tests::Stored;
using Caller = core::SharedStatusFile::Caller;

class SharedStatusFileTest : public ::testing::Test
{
protected:
    testing_support::TempFolder m_folder;
    std::wstring m_path = m_folder.File(core::SharedStatusFile::kFileName);
};

// The worker saves while the UI thread reloads on every event, through the one file object of the control,
// whose record a load replaces: every reload sees a whole record and the file stays readable.
TEST_F(SharedStatusFileTest, WorkerSavesAndUiReloadsNeverTearTheRecord)
{
    core::SharedStatusFile file;
    file.Open(m_path, core::SharedStatusFile::Caller::UiThread);
    ASSERT_TRUE(file.Save({true, 2, 2}, core::SharedStatusFile::Caller::UiThread));

    std::atomic<bool> stop{false};
    win::Thread worker([&] {
        for (int i = 0; i < 300 && !stop; ++i)
        {
            (void)file.Save({true, 2, 2}, core::SharedStatusFile::Caller::Worker);
        }
        return DWORD{0};
    });
    ASSERT_TRUE(worker.Create());
    ASSERT_TRUE(worker.Resume());
    int reloads = 0;
    while (!worker.HasEnded())
    {
        const auto record = file.Reload(core::SharedStatusFile::Caller::UiThread);
        ++reloads;
        ASSERT_TRUE(record);
        ASSERT_EQ(2, record->paviseStatus);
        ASSERT_EQ(2, record->norvixStatus);
    }
    stop = true;
    EXPECT_GT(reloads, 0);
}

TEST_F(SharedStatusFileTest, TheUiThreadGivesUpOnAHeldFileSoonAndTheWorkerWaitsForIt)
{
    core::SharedStatusFile file;
    file.Open(m_path, core::SharedStatusFile::Caller::UiThread);
    Publish(m_path, 2, 2);
    ASSERT_EQ(2, file.Reload(core::SharedStatusFile::Caller::UiThread).value_or(core::StatusRecord{}).norvixStatus);
    Publish(m_path, 1, 1);
    const testing_support::ExpectFailureReports expected{"!sourceOpened: 0x80070020",
        "not read, the file and the record kept", "its lock stayed taken longer than the UI thread waits",
        "?!mirroredTarget.Close()", "?not saved"};

    // Held while the UI thread reloads: it gives up and keeps the record it had, not the defaults.
    win::File held = Held(m_path);
    const auto ui = file.Reload(core::SharedStatusFile::Caller::UiThread);
    ASSERT_TRUE(ui);
    EXPECT_EQ(2, ui->paviseStatus);
    EXPECT_EQ(2, ui->norvixStatus);

    // The worker waits: let go once it has met the held file, it gets the file.
    auto retriesBefore = storage::GetRetryCounts();
    const auto retried = [&] {
        const auto retries = storage::GetRetryCounts();
        return retries.opens + retries.replaces > retriesBefore.opens + retriesBefore.replaces;
    };
    std::optional<core::StatusRecord> worker;
    win::Thread reader([&] {
        worker = file.Reload(core::SharedStatusFile::Caller::Worker);
        return DWORD{0};
    });
    ASSERT_TRUE(reader.Create() && reader.Resume());
    ASSERT_TRUE(testing_support::WaitFor(retried)) << "the worker never met the held file";
    held.Close();
    ASSERT_TRUE(reader.Wait(INFINITE));
    ASSERT_TRUE(worker);
    EXPECT_EQ(1, worker->norvixStatus);

    // The UI thread's short wait holds also while the control's own worker sits in its longer retries with the
    // record locked: the UI thread gives up (and keeps what it shows) before the worker is through.
    held = Held(m_path);
    retriesBefore = storage::GetRetryCounts();
    std::atomic<bool> saved{false};
    win::Thread saver([&] {
        (void)file.Save({true, 2, 2}, core::SharedStatusFile::Caller::Worker);
        saved = true;
        return DWORD{0};
    });
    ASSERT_TRUE(saver.Create() && saver.Resume());
    ASSERT_TRUE(testing_support::WaitFor(retried)) << "the worker never met the held file";
    EXPECT_FALSE(file.Reload(core::SharedStatusFile::Caller::UiThread));
    EXPECT_FALSE(saved.load()) << "the UI thread waited for the worker's retries";
    EXPECT_FALSE(file.Save({true, 1, 1}, core::SharedStatusFile::Caller::UiThread));
    held.Close();
    ASSERT_TRUE(saver.Wait(INFINITE));
}

// Each instance saves the fields it names into the record as it finds it on disk: the stamp of a poll whose
// answer changed nothing never puts back the codes that another instance's click saved during the query.
TEST_F(SharedStatusFileTest, ASaveChangesOnlyItsOwnFieldsOfTheRecordOnDisk)
{
    core::SharedStatusFile poller;
    poller.Open(m_path, Caller::Worker);
    ASSERT_TRUE(poller.Save({true, 1, 2}, Caller::Worker));
    core::SharedStatusFile clicked;
    clicked.Open(m_path, Caller::UiThread);
    ASSERT_TRUE(clicked.Save({true, std::nullopt, 3}, Caller::UiThread));

    ASSERT_TRUE(poller.Save({true, std::nullopt, std::nullopt}, Caller::Worker));
    const auto stored = Stored(m_path);
    ASSERT_TRUE(stored);
    EXPECT_EQ(1, stored->paviseStatus);
    EXPECT_EQ(3, stored->norvixStatus);
    EXPECT_EQ(stored->norvixStatus, poller.Record().value_or(core::StatusRecord{}).norvixStatus);
}

// A record of another system language in a file that cannot be replaced (read-only, immutable): a control keeps
// what it last saved, the service's answer and its claim's stamp, however often it reloads, so that it shows the
// answer and polls once per interval, not at every pass; the file stays as it is; and each control reports the
// failures once, not at every load and save.
TEST_F(SharedStatusFileTest, AFileThatCanBeNeitherTakenNorReplacedChangesNothingAControlKnows)
{
    storage_testing::PlainRecord other;
    other.languageId = static_cast<std::uint16_t>(::GetSystemDefaultLangID() ^ 0x0400);
    const std::string foreign = storage_testing::Scramble(other.Status(2, 2, 45000.0));
    ASSERT_TRUE(win::File::WriteAll(m_path, foreign));
    const storage_testing::Unreplaceable unreplaceable(m_path);
    const testing_support::ExpectFailureReports expected{
        "written under language", "not saved, the file keeps", "?!mirroredTarget.Close()"};

    core::SharedStatusFile control;
    control.Open(m_path, Caller::UiThread);
    EXPECT_EQ(0, control.Record().value_or(core::StatusRecord{}).norvixStatus) << "another language is not taken";
    EXPECT_FALSE(control.Save({true, 1, 2}, Caller::Worker));
    for (int event = 0; event < 3; ++event)
    {
        const core::StatusRecord claimed = control.Record().value_or(core::StatusRecord{});
        EXPECT_NE(0.0, claimed.lastCheck.Value());
        const auto reloaded = control.Reload(Caller::UiThread);
        ASSERT_TRUE(reloaded);
        EXPECT_EQ(1, reloaded->paviseStatus);
        EXPECT_EQ(2, reloaded->norvixStatus);
        EXPECT_EQ(claimed.lastCheck, reloaded->lastCheck);
        EXPECT_FALSE(control.Save({true, std::nullopt, std::nullopt}, Caller::Worker));
    }
    core::SharedStatusFile tab;
    tab.Open(m_path, Caller::UiThread);
    EXPECT_FALSE(tab.Save({true, std::nullopt, std::nullopt}, Caller::Worker));
    EXPECT_NE(0.0, tab.Reload(Caller::UiThread).value_or(core::StatusRecord{}).lastCheck.Value());

    EXPECT_EQ(foreign, storage_testing::RawBytesOf(m_path));
    EXPECT_EQ(2, expected.Seen("written under language"));
    EXPECT_EQ(2, expected.Seen("not saved, the file keeps"));
}

// The UI thread's side belongs to the thread that made the object: the test programs stop at a call from another.
using SharedStatusFileDeathTest = SharedStatusFileTest;

TEST_F(SharedStatusFileDeathTest, AUiThreadReloadFromAnotherThreadIsReportedAndStopsTheTestProgram)
{
    core::SharedStatusFile file;
    file.Open(m_path, Caller::UiThread);
    EXPECT_DEATH(std::thread([&] { (void)file.Reload(Caller::UiThread); }).join(),
        "broken rule: src/Core/SharedStatusFile.cpp.*Reload: called on thread");
}

}  // namespace
