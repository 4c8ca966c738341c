#include "Hammer.h"

#include "Core/StatusConfigFile.h"
#include "storage/SharingRetry.h"

#include <cmath>
#include <cstdio>

namespace storage_testing
{

namespace
{
constexpr double kRoundsPerWriter = 100000.0;
} // namespace

WriterRecord RecordOf(int id, int round)
{
    return {1 + id % 2, 1 + round % 2, id * kRoundsPerWriter + round + 1};
}

bool IsWrittenRecord(std::int32_t paviseStatus, std::int32_t norvixStatus, std::int32_t checkStatus, double lastCheck)
{
    if (checkStatus != 0 || lastCheck < 1.0 || lastCheck != std::floor(lastCheck))
    {
        return false;
    }
    const int id = static_cast<int>(lastCheck / kRoundsPerWriter);
    const int round = static_cast<int>(lastCheck - id * kRoundsPerWriter) - 1;
    const WriterRecord expected = RecordOf(id, round);
    return round >= 0 && expected.paviseStatus == paviseStatus && expected.norvixStatus == norvixStatus;
}

HammerResult RunHammer(const std::wstring& path, int rounds, int id)
{
    HammerResult result;
    const storage::RetryCounts before = storage::GetRetryCounts();
    StatusConfigFile file;
    file.Open(path);
    for (int round = 0; round < rounds; ++round)
    {
        if (file.Load(false, true))
        {
            ++result.loads;
        }
        else
        {
            ++result.loadFailures;
        }
        const StatusConfigStream* loaded = file.GetRecord();
        if (!IsWrittenRecord(loaded->m_paviseStatus, loaded->m_norvixStatus, loaded->m_lastCheck.status,
                loaded->m_lastCheck.value))
        {
            ++result.violations;
        }
        const WriterRecord mine = RecordOf(id, round);
        StatusConfigStream* record = file.GetRecord();
        record->m_paviseStatus = mine.paviseStatus;
        record->m_norvixStatus = mine.norvixStatus;
        record->m_lastCheck = {mine.lastCheck, 0};
        if (file.Save(true))
        {
            result.lastSaved = mine.lastCheck;
        }
        else
        {
            ++result.saveFailures;
        }
    }
    const storage::RetryCounts after = storage::GetRetryCounts();
    result.openRetries = after.opens - before.opens;
    result.replaceRetries = after.replaces - before.replaces;
    return result;
}

std::string Describe(const HammerResult& r)
{
    char line[256];
    std::snprintf(line, sizeof line,
        "loads=%d loadFailures=%d saveFailures=%d violations=%d lastSaved=%.0f openRetries=%llu replaceRetries=%llu",
        r.loads, r.loadFailures, r.saveFailures, r.violations, r.lastSaved,
        static_cast<unsigned long long>(r.openRetries), static_cast<unsigned long long>(r.replaceRetries));
    return line;
}

bool Parse(const std::string& line, HammerResult& r)
{
    const auto at = line.find("loads=");
    unsigned long long opens = 0;
    unsigned long long replaces = 0;
    if (at == std::string::npos ||
        std::sscanf(line.c_str() + at,
            "loads=%d loadFailures=%d saveFailures=%d violations=%d lastSaved=%lf openRetries=%llu replaceRetries=%llu",
            &r.loads, &r.loadFailures, &r.saveFailures, &r.violations, &r.lastSaved, &opens, &replaces) != 7)
    {
        return false;
    }
    r.openRetries = opens;
    r.replaceRetries = replaces;
    return true;
}

} // namespace storage_testing
