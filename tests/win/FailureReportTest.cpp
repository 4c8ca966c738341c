#include "win/ComBoundary.h"
#include "win/FailureReport.h"
#include "win/Scope.h"
#include "win/Window.h"

#include "support/FailureReports.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace
{

// The lines reported while it lives, in place of the test programs' hook.
class CapturedReports
{
public:
    CapturedReports() : m_previous(win::SetFailureHook(&Capture)) { s_lines.clear(); }
    ~CapturedReports() { (void)win::SetFailureHook(m_previous); }
    [[nodiscard]] std::vector<std::wstring> Take() { return std::exchange(s_lines, {}); }

private:
    static void Capture(const win::FailureReport& report) noexcept
    {
        wchar_t text[512];
        s_lines.emplace_back(text, win::FormatFailure(report, text, std::size(text)));
    }
    static inline std::vector<std::wstring> s_lines;
    win::FailureHook m_previous;
};

int s_macroLine = 0;

HRESULT ReturnIfFailed(HRESULT hr)
{
    s_macroLine = __LINE__ + 1;
    WIN_RETURN_IF_FAILED(hr);
    return S_FALSE;
}

HRESULT ReturnLastErrorIf(bool failed, DWORD error)
{
    ::SetLastError(error);
    s_macroLine = __LINE__ + 1;
    WIN_RETURN_LAST_ERROR_IF(failed);
    return S_FALSE;
}

HRESULT Boundary(std::function<void()> body)
{
    s_macroLine = __LINE__ + 1;
    return win::ComBoundary([&] {
        body();
        return S_FALSE;
    });
}

TEST(FailureReportTest, EachShapeReportsItsPlaceExpressionAndCodeAndHandsTheFailureOn)
{
    struct Case
    {
        std::function<HRESULT()> call;
        HRESULT expected;
        std::wstring report;  // after "file(line): "; "" for none
    };
    const Case cases[] = {
        {[] { return ReturnIfFailed(E_ACCESSDENIED); }, E_ACCESSDENIED, L"hr: 0x80070005 (Win32 error 5)"},
        {[] { return ReturnIfFailed(S_OK); }, S_FALSE, L""},
        {[] { return ReturnLastErrorIf(true, ERROR_FILE_NOT_FOUND); }, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            L"failed: 0x80070002 (Win32 error 2)"},
        {[] { return ReturnLastErrorIf(true, ERROR_SUCCESS); }, E_FAIL, L"failed: 0x80004005"},
        {[] { return ReturnLastErrorIf(false, ERROR_FILE_NOT_FOUND); }, S_FALSE, L""},
        {[] { return WIN_LOG_IF_FAILED(S_FALSE); }, S_FALSE, L""},
        {[] { return Boundary([] {}); }, S_FALSE, L""},
        {[] { return Boundary([] { throw std::bad_alloc(); }); }, E_OUTOFMEMORY,
            L"HRESULT {anonymous}::Boundary(std::function<void()>): 0x8007000E (Win32 error 14): out of memory"},
        {[] { return Boundary([] { throw std::runtime_error("no room"); }); }, E_UNEXPECTED,
            L"HRESULT {anonymous}::Boundary(std::function<void()>): 0x8000FFFF: exception: no room"},
        {[] { return Boundary([] { throw 7; }); }, E_UNEXPECTED,
            L"HRESULT {anonymous}::Boundary(std::function<void()>): 0x8000FFFF: unknown exception"},
    };
    CapturedReports reports;
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].expected, cases[i].call());
        const std::vector<std::wstring> lines = reports.Take();
        if (cases[i].report.empty())
        {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        const std::wstring where = L"tests/win/FailureReportTest.cpp(" + std::to_wstring(s_macroLine) + L"): ";
        EXPECT_EQ(std::vector<std::wstring>{where + cases[i].report}, lines);
    }
    // The caller reads the last error after a report as it was before.
    ::SetLastError(ERROR_HANDLE_EOF);
    win::ReportFailure("a.cpp", 1, "Step()", E_FAIL);
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ::GetLastError());
    EXPECT_EQ(std::vector<std::wstring>{L"a.cpp(1): Step(): 0x80004005"}, reports.Take());
}

// A report fails the test it comes in unless the test declared it, and a declared report that never came fails
// it too.
TEST(FailureReportTest, TheTestProgramsFailATestOnAReportItDidNotDeclare)
{
    EXPECT_NONFATAL_FAILURE(win::ReportFailure("src/net/Step.cpp", 12, "::Send()", HRESULT_FROM_WIN32(12029)),
        "unexpected failure report: src/net/Step.cpp(12): ::Send(): 0x80072EFD (Win32 error 12029)");
    {
        const testing_support::ExpectFailureReports expected{"::Send()", "?never"};
        win::ReportFailure("src/net/Step.cpp", 12, "::Send()", E_FAIL);
    }
    EXPECT_NONFATAL_FAILURE(
        { const testing_support::ExpectFailureReports expected{"::Send()"}; }, "no failure report held \"::Send()\"");
}

// Threads of their own: the test programs stop at a broken rule, so each call is made in a death test.
TEST(ThreadRuleDeathTest, ReleasesFromAnotherThreadAreReportedAndStopTheTestProgram)
{
    EXPECT_DEATH(
        {
            auto com = std::make_unique<win::ComInit>(COINIT_APARTMENTTHREADED);
            std::thread([&] { com.reset(); }).join();
        },
        "broken rule: src/win/Scope.h.*Uninitialize: called on thread");
    EXPECT_DEATH(
        {
            auto window = std::make_unique<win::Window>();
            (void)window->Create(0, L"STATIC", nullptr, 0, RECT{}, HWND_MESSAGE, 0);
            std::thread([&] { window.reset(); }).join();
        },
        "broken rule: src/win/Window.cpp.*Destroy: called on thread");
}

}  // namespace
