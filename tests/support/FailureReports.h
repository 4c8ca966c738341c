#pragma once
// The test programs' failure hook (win::FailureReport): a report that the running test did not declare fails it
// with the report's line, from whatever thread it comes; a broken rule is also written to the error output (where
// a death test looks) before the process stops. A test that provokes failures on purpose declares them with an
// ExpectFailureReports that lives as long as they may come.

#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support
{

// Installed by the test programs' main before any test runs.
void InstallFailureReportHook();

// While it lives, reports whose line holds one of its patterns are expected. A pattern that starts with '?' may
// come or not; each of the others must have come by the end, or the test fails.
class ExpectFailureReports
{
public:
    ExpectFailureReports(std::initializer_list<std::string> patterns);
    ExpectFailureReports(const ExpectFailureReports&) = delete;
    ExpectFailureReports& operator=(const ExpectFailureReports&) = delete;
    ~ExpectFailureReports();

    // Takes `line` when one of the patterns is in it.
    bool Take(const std::string& line);
    // How many reports the pattern `text` (without its '?') took so far.
    [[nodiscard]] int Seen(const std::string& text) const;

private:
    struct Pattern
    {
        std::string text;
        bool optional = false;
        int seen = 0;
    };
    std::vector<Pattern> m_patterns;
};

}  // namespace testing_support
