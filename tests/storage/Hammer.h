#pragma once
// One writer of the shared-status-file concurrency test: loads and saves the file for a number of rounds,
// writing only records that name their writer and round (never the defaults), and checks every record it
// loads. Runs in a thread of the test or in StatusFileHammer.exe.

#include <cstdint>
#include <string>

namespace storage_testing
{

struct HammerResult
{
    int loads = 0;
    int loadFailures = 0;
    int saveFailures = 0;
    int violations = 0;  // loaded records that no writer wrote (defaults, or fields of different writes)
    double lastSaved = 0.0;
    std::uint64_t openRetries = 0;
    std::uint64_t replaceRetries = 0;
};

// Record values of writer `id` (1 and up; 0 is the seed) in round `round`.
struct WriterRecord
{
    std::int32_t paviseStatus;
    std::int32_t norvixStatus;
    double lastCheck;
};
[[nodiscard]] WriterRecord RecordOf(int id, int round);
// True when the values are exactly what some writer wrote in some round.
[[nodiscard]] bool IsWrittenRecord(std::int32_t paviseStatus, std::int32_t norvixStatus, std::int32_t checkStatus,
    double lastCheck);

[[nodiscard]] HammerResult RunHammer(const std::wstring& path, int rounds, int id);

// "loads=... loadFailures=... saveFailures=... violations=... lastSaved=... openRetries=... replaceRetries=..."
[[nodiscard]] std::string Describe(const HammerResult& result);
[[nodiscard]] bool Parse(const std::string& line, HammerResult& result);

} // namespace storage_testing
