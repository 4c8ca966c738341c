#include "Hammer.h"
#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"
#include "support/ChildProcess.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace
{

using storage_testing::HammerResult;

class SharedStatusFileTest : public storage_testing::StorageFixture
{
};

// Several processes and threads load and save one status file at once, as browser processes do. Every
// writer writes only records naming itself and its round, so a load that meets defaults, a half-written
// file or a mix of two writes shows up as a violation.
TEST_F(SharedStatusFileTest, ConcurrentWritersNeverExposeUnwrittenRecordsOrLoseSaves)
{
    constexpr int kProcesses = 3;
    constexpr int kThreads = 2;
    constexpr int kRounds = 600;
    const std::wstring path = m_folder.File(L"Norvix.status.config");
    {
        StatusConfigFile seed;
        seed.Open(path);
        const storage_testing::WriterRecord first = storage_testing::RecordOf(0, 0);
        seed.GetRecord()->m_paviseStatus = first.paviseStatus;
        seed.GetRecord()->m_norvixStatus = first.norvixStatus;
        seed.GetRecord()->m_lastCheck = {first.lastCheck, 0};
        ASSERT_TRUE(seed.Save(false));
    }

    const std::wstring hammer = testing_support::TestExecutableFolder() + L"StatusFileHammer.exe";
    std::vector<std::unique_ptr<testing_support::ChildProcess>> processes;
    for (int id = 1; id <= kProcesses; ++id)
    {
        auto child = std::make_unique<testing_support::ChildProcess>();
        ASSERT_TRUE(child->Start(win::Format(L"\"%ls\" \"%ls\" %d %d", hammer.c_str(), path.c_str(), kRounds, id)));
        processes.push_back(std::move(child));
    }
    std::vector<HammerResult> results(kProcesses + kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back(
            [&, t] { results[kProcesses + t] = storage_testing::RunHammer(path, kRounds, kProcesses + 1 + t); });
    }
    for (auto& thread : threads)
    {
        thread.join();
    }
    for (int i = 0; i < kProcesses; ++i)
    {
        std::string line;
        ASSERT_TRUE(processes[i]->WaitForLine("result ", 120000, &line)) << "writer " << i + 1 << " gave no result";
        ASSERT_TRUE(storage_testing::Parse(line, results[i])) << line;
        EXPECT_EQ(0, processes[i]->WaitForExit(30000));
    }

    HammerResult total;
    std::vector<double> lastSaved;
    for (std::size_t i = 0; i < results.size(); ++i)
    {
        const HammerResult& r = results[i];
        SCOPED_TRACE(::testing::Message() << "writer " << i + 1 << ": " << storage_testing::Describe(r));
        EXPECT_EQ(0, r.violations);
        EXPECT_EQ(0, r.loadFailures);
        EXPECT_EQ(0, r.saveFailures);
        EXPECT_EQ(kRounds, r.loads);
        total.openRetries += r.openRetries;
        total.replaceRetries += r.replaceRetries;
        lastSaved.push_back(r.lastSaved);
    }
    std::cout << "[ FIGURES  ] " << results.size() * kRounds
              << " rounds of load and save; retries: " << total.openRetries << " opens, " << total.replaceRetries
              << " replacements\n";

    // The file ends as the whole last record of one of the writers.
    StatusConfigFile survivor;
    survivor.Open(path);
    ASSERT_TRUE(survivor.Load(false, false));
    const StatusConfigStream* record = survivor.GetRecord();
    EXPECT_TRUE(storage_testing::IsWrittenRecord(record->m_paviseStatus, record->m_norvixStatus,
        record->m_lastCheck.status, record->m_lastCheck.value));
    EXPECT_NE(lastSaved.end(), std::find(lastSaved.begin(), lastSaved.end(), record->m_lastCheck.value));
}

} // namespace
