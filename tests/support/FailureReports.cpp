#include "support/FailureReports.h"

#include "win/FailureReport.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace testing_support
{
namespace
{

std::mutex s_lock;
std::vector<ExpectFailureReports*> s_expected;

void Hook(const win::FailureReport& report) noexcept
{
    try
    {
        wchar_t text[1024];
        const std::string line =
            win::WideToAnsi(std::wstring_view(text, win::FormatFailure(report, text, std::size(text))), CP_UTF8);
        if (report.kind == win::FailureReport::Kind::BrokenRule)
        {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        }
        {
            const std::lock_guard lock(s_lock);
            for (auto it = s_expected.rbegin(); it != s_expected.rend(); ++it)
            {
                if ((*it)->Take(line))
                {
                    return;
                }
            }
        }
        ADD_FAILURE_AT(report.file, report.line) << "unexpected failure report: " << line;
    }
    catch (...)
    {
        std::fprintf(stderr, "a failure report was lost: out of memory\n");
    }
}

}  // namespace

void InstallFailureReportHook()
{
    (void)win::SetFailureHook(&Hook);
}

ExpectFailureReports::ExpectFailureReports(std::initializer_list<std::string> patterns)
{
    for (const std::string& pattern : patterns)
    {
        const bool optional = !pattern.empty() && pattern[0] == '?';
        m_patterns.push_back({optional ? pattern.substr(1) : pattern, optional, 0});
    }
    const std::lock_guard lock(s_lock);
    s_expected.push_back(this);
}

ExpectFailureReports::~ExpectFailureReports()
{
    {
        const std::lock_guard lock(s_lock);
        std::erase(s_expected, this);
    }
    for (const Pattern& pattern : m_patterns)
    {
        EXPECT_TRUE(pattern.optional || pattern.seen > 0) << "no failure report held \"" << pattern.text << "\"";
    }
}

bool ExpectFailureReports::Take(const std::string& line)
{
    for (Pattern& pattern : m_patterns)
    {
        if (line.find(pattern.text) != std::string::npos)
        {
            ++pattern.seen;
            return true;
        }
    }
    return false;
}

int ExpectFailureReports::Seen(const std::string& text) const
{
    const std::lock_guard lock(s_lock);
    const auto found = std::find_if(
        m_patterns.begin(), m_patterns.end(), [&](const Pattern& pattern) { return pattern.text == text; });
    return found == m_patterns.end() ? 0 : found->seen;
}

}  // namespace testing_support
