#pragma once
// ComBoundary: where a COM method or an export meets code that may throw. The body runs inside the one catch
// of the call: the exception is reported (FailureReport) with the caller's place, and an allocation failure
// becomes E_OUTOFMEMORY and anything else E_UNEXPECTED, so no exception reaches a caller that has no way to
// receive one. Window procedures have their boundary in win::Window and win::Dialog, threads theirs in
// win::Thread.

#include "win/FailureReport.h"

#include <windows.h>

#include <source_location>

namespace win
{

template <typename Body>
[[nodiscard]] HRESULT ComBoundary(
    Body&& body, const std::source_location& where = std::source_location::current()) noexcept
{
    try
    {
        return body();
    }
    catch (...)
    {
        return ReportCaughtException(where.file_name(), static_cast<int>(where.line()), where.function_name());
    }
}

}  // namespace win
