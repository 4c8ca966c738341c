// The add-on whole, in a real host process against the product service: who polls, decided by the mutex that
// every instance of an installation shares. How a change reaches every instance is the update flow's business
// (ActionsTest); one query per interval among instances, a busy window, each state and each fault, the unit
// tests'.

#include "NorvixSystem.h"

#include "support/ServiceQueries.h"
#include "support/Wait.h"
#include "win/NamedMutex.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace integration
{
namespace
{

using StatusFlowTest = NorvixSystemTest;

TEST_F(StatusFlowTest, WhoeverHoldsTheMutexNamedAfterTheInstallationGuidDecidesWhenThereIsAQuery)
{
    // The name takes the GUID in capitals, whatever the registry holds.
    const std::wstring guid = L"{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}";
    {
        const auto macro = win::CreateRegKey(HKEY_CURRENT_USER, L"Software\\KelToolbar\\Macro");
        ASSERT_TRUE(macro && win::WriteRegString(macro.Get(), L"guid", guid));
    }
    win::NamedMutex held;
    ASSERT_TRUE(held.Create(L"KEL_PULLING_INSTANCE_" + win::ToUpper(guid)));
    ASSERT_EQ(win::NamedMutex::WaitResult::Acquired, held.Wait(0));

    // A poll is due at once (no status file), but the other holder keeps the mutex over several passes (one try
    // every 145 ms at most): nothing is asked meanwhile, and the first query comes after it let go.
    Host& host = StartHost();
    ASSERT_EQ(1u, host.Count("startup hr=0x00000000 result=0x00000000"));
    testing_support::PumpFor(600);
    EXPECT_EQ(0u, Requests("/GetStatus"));
    const ULONGLONG released = ::GetTickCount64();
    held.Release();
    ASSERT_TRUE(testing_support::WaitFor([&] { return Requests("/GetStatus") > 0; }));
    EXPECT_GE(testing_support::QueryTimes(m_service)[0], released);
}

}  // namespace
}  // namespace integration
