// The main of every test program: GoogleTest with GoogleMock, and the failure hook that fails a test on a failure
// report it did not expect. Built with NORVIX_STOP_ON_BROKEN_RULES (the tests' build option), a broken rule stops
// the program after its report.

#include "support/FailureReports.h"

#include "win/FailureReport.h"

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    testing_support::InstallFailureReportHook();
#ifdef NORVIX_STOP_ON_BROKEN_RULES
    win::SetStopOnBrokenRules(true);
#endif
    return RUN_ALL_TESTS();
}
