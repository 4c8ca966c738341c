#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace
{

using SharedStatusFileTest = storage_testing::StorageFixture;

// What writer `id` (0: the seed) saves in `round`: a record no other writer or round has.
struct WriterRecord
{
    std::int32_t pavise;
    std::int32_t norvix;
    double lastCheck;
};
WriterRecord RecordOf(int id, int round)
{
    return {1 + id % 2, 1 + round % 2, id * 100000.0 + round + 1};
}

bool IsWritten(const core::StatusConfigStream& record)
{
    const double check = record.m_lastCheck.Value();
    if (record.m_lastCheck.status != 0 || check < 1.0 || check != std::floor(check))
    {
        return false;
    }
    const int id = static_cast<int>(check / 100000.0);
    const int round = static_cast<int>(check - id * 100000.0) - 1;
    const WriterRecord expected = RecordOf(id, round);
    return expected.pavise == record.m_paviseStatus && expected.norvix == record.m_norvixStatus;
}

// Several writers load and save one status file at once, each through a file object of its own, as browser
// processes do (the storage code keeps no lock in the process, so threads meet the file sharing that processes
// meet). Each writes only records naming itself and its round, so a load that meets defaults, a half-written
// file or a mix of two writes shows up as a violation.
TEST_F(SharedStatusFileTest, ConcurrentWritersNeverExposeUnwrittenRecordsOrLoseSaves)
{
    constexpr int kWriters = 5;
    constexpr int kRounds = 150;
    const std::wstring path = m_folder.File(L"Norvix.status.config");
    const auto save = [](core::StatusConfigFile& file, const WriterRecord& values) {
        file.GetRecord()->m_paviseStatus = values.pavise;
        file.GetRecord()->m_norvixStatus = values.norvix;
        file.GetRecord()->m_lastCheck = storage::DateTime::FromValue(values.lastCheck);
        return file.Save(true);
    };
    core::StatusConfigFile seed;
    seed.Open(path);
    ASSERT_TRUE(save(seed, RecordOf(0, 0)));

    std::atomic<int> violations{0};
    std::atomic<int> failures{0};
    std::vector<double> lastSaved(kWriters);
    std::vector<std::thread> writers;
    for (int id = 1; id <= kWriters; ++id)
    {
        writers.emplace_back([&, id] {
            core::StatusConfigFile file;
            file.Open(path);
            for (int round = 0; round < kRounds; ++round)
            {
                failures += file.Load(false, true) ? 0 : 1;
                violations += IsWritten(*file.GetRecord()) ? 0 : 1;
                if (save(file, RecordOf(id, round)))
                {
                    lastSaved[id - 1] = RecordOf(id, round).lastCheck;
                }
                else
                {
                    ++failures;
                }
            }
        });
    }
    for (auto& writer : writers)
    {
        writer.join();
    }
    EXPECT_EQ(0, violations.load());
    EXPECT_EQ(0, failures.load());

    // The file ends as the whole last record of one of the writers.
    core::StatusConfigFile survivor;
    survivor.Open(path);
    ASSERT_TRUE(survivor.Load(false, false));
    EXPECT_TRUE(IsWritten(*survivor.GetRecord()));
    EXPECT_NE(
        lastSaved.end(), std::find(lastSaved.begin(), lastSaved.end(), survivor.GetRecord()->m_lastCheck.Value()));
}

}  // namespace
