#pragma once
// ComBoundary: where a COM method or an export meets code that may throw. The body runs inside the one catch
// of the call: an allocation failure becomes E_OUTOFMEMORY and anything else E_FAIL, so no exception
// reaches a caller that has no way to receive one. Window procedures have their boundary in win::Window and
// win::Dialog, threads theirs in win::Thread.

#include <windows.h>

#include <new>

namespace win
{

template <typename Body>
[[nodiscard]] HRESULT ComBoundary(Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_FAIL;
    }
}

}  // namespace win
