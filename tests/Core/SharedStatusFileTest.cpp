// The status file as one control uses it from two threads, and how long each thread waits for a file that
// another process holds.

#include "Core/SharedStatusFile.h"
#include "support/FailureReports.h"
#include "support/TempFolder.h"
#include "support/Wait.h"
#include "win/File.h"
#include "win/Thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

class SharedStatusFileTest : public ::testing::Test
{
protected:
    // Writes the file as another instance would have published `pavise` and `norvix`.
    void Publish(std::int32_t pavise, std::int32_t norvix)
    {
        core::SharedStatusFile other;
        other.Open(m_path, core::SharedStatusFile::Caller::Worker);
        ASSERT_TRUE(other.Save({true, pavise, norvix}, core::SharedStatusFile::Caller::Worker));
    }

    // Holds the file the way a busy process does for `ms`, on a thread of its own.
    std::unique_ptr<win::Thread> HoldFor(DWORD ms)
    {
        auto file = std::make_shared<win::File>();
        EXPECT_TRUE(
            file->Open(m_path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::OpenExisting));
        auto holder = std::make_unique<win::Thread>([file, ms] {
            ::Sleep(ms);
            file->Close();
            return DWORD{0};
        });
        EXPECT_TRUE(holder->Create());
        EXPECT_TRUE(holder->Resume());
        return holder;
    }

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
        for (int i = 0; i < 1000 && !stop; ++i)
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
    Publish(1, 1);
    const testing_support::ExpectFailureReports expected{"!sourceOpened: 0x80070020",
        "not read, the file and the record kept", "its lock stayed taken longer than the UI thread waits",
        "?!mirroredTarget.Close()", "?not saved"};

    // Held well beyond what the UI thread allows: its reload keeps the record it had.
    auto holder = HoldFor(800);
    const auto ui = file.Reload(core::SharedStatusFile::Caller::UiThread);
    ASSERT_TRUE(ui);
    EXPECT_EQ(0, ui->norvixStatus);
    ASSERT_TRUE(holder->Wait(INFINITE));

    // Held for less than the worker allows: it gets the file once it is let go.
    holder = HoldFor(300);
    const auto worker = file.Reload(core::SharedStatusFile::Caller::Worker);
    ASSERT_TRUE(worker);
    EXPECT_EQ(1, worker->norvixStatus);
    ASSERT_TRUE(holder->Wait(INFINITE));

    // The UI thread's short wait holds also while the control's own worker sits in its longer retries with the
    // record locked: the UI thread gives up (and keeps what it shows) before the worker is through.
    holder = HoldFor(2000);
    const auto retriesBefore = storage::GetRetryCounts();
    std::atomic<bool> saved{false};
    win::Thread saver([&] {
        (void)file.Save({true, 2, 2}, core::SharedStatusFile::Caller::Worker);
        saved = true;
        return DWORD{0};
    });
    ASSERT_TRUE(saver.Create());
    ASSERT_TRUE(saver.Resume());
    ASSERT_TRUE(testing_support::WaitFor([&] {
        const auto retries = storage::GetRetryCounts();
        return retries.opens + retries.replaces > retriesBefore.opens + retriesBefore.replaces;
    })) << "the worker never met the held file";
    EXPECT_FALSE(file.Reload(core::SharedStatusFile::Caller::UiThread));
    EXPECT_FALSE(saved.load()) << "the UI thread waited for the worker's retries";
    EXPECT_FALSE(file.Save({true, 1, 1}, core::SharedStatusFile::Caller::UiThread));
    ASSERT_TRUE(saver.Wait(INFINITE));
    ASSERT_TRUE(holder->Wait(INFINITE));
}

}  // namespace
