#pragma once
// The status queries that reached a product service, for tests of how often instances poll it. Only for suites
// that link the service.

#include "ProductService.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <vector>

namespace testing_support
{

// When each status query reached the service (GetTickCount64 of this process).
inline std::vector<ULONGLONG> QueryTimes(const service::ProductService& service)
{
    std::vector<ULONGLONG> times;
    for (const auto& request : service.Requests())
    {
        if (request.path == "/GetStatus")
        {
            times.push_back(request.receivedAtMs);
        }
    }
    return times;
}

// Waits until the service has been queried `count` times; then no two queries came closer than an interval of
// 2 s allows (stamped to the second: more than 1 s apart).
inline void ExpectQueriesOneIntervalApart(const service::ProductService& service, size_t count)
{
    ASSERT_TRUE(WaitFor([&] { return QueryTimes(service).size() >= count; }, 30000))
        << QueryTimes(service).size() << " queries";
    const std::vector<ULONGLONG> times = QueryTimes(service);
    for (size_t i = 1; i < times.size(); ++i)
    {
        EXPECT_GE(times[i] - times[i - 1], 900u) << "query " << i;
    }
}

}  // namespace testing_support
