#include "win/FailureReport.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <new>

namespace win
{
namespace
{

std::atomic<FailureHook> s_hook{nullptr};
std::atomic<bool> s_stopOnBrokenRules{false};
thread_local FailureGate* t_gate = nullptr;

// Appends to a fixed buffer without allocating, so that reporting works when memory has run out.
class LineWriter
{
public:
    LineWriter(wchar_t* buffer, std::size_t size) noexcept : m_buffer(buffer), m_size(size)
    {
        if (m_size > 0)
        {
            m_buffer[0] = L'\0';
        }
    }

    void Add(std::wstring_view text) noexcept
    {
        for (const wchar_t c : text)
        {
            Put(c);
        }
    }
    // Source text and file names: the bytes as characters (they are ASCII), line ends as spaces.
    void Add(const char* text) noexcept
    {
        for (; text && *text; ++text)
        {
            Put(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
        }
    }
    void AddNumber(unsigned long value, unsigned base, int minDigits = 1) noexcept
    {
        wchar_t digits[16];
        int count = 0;
        do
        {
            digits[count++] = L"0123456789ABCDEF"[value % base];
            value /= base;
        } while ((value != 0 || count < minDigits) && count < 16);
        while (count > 0)
        {
            Put(digits[--count]);
        }
    }
    [[nodiscard]] std::size_t Length() const noexcept { return m_length; }

private:
    void Put(wchar_t c) noexcept
    {
        if (m_length + 1 < m_size)
        {
            m_buffer[m_length++] = (c == L'\r' || c == L'\n') ? L' ' : c;
            m_buffer[m_length] = L'\0';
        }
    }

    wchar_t* m_buffer;
    std::size_t m_size;
    std::size_t m_length = 0;
};

// The build names files from the top of the source tree ("./src/..."), or relative to the build folder when the
// compiler was handed relative paths (a compiler cache's base folder: "../../src/..."); the line shows them from
// the top of the tree.
const char* SourceName(const char* file) noexcept
{
    const auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
    while (file && file[0] == '.')
    {
        if (isSeparator(file[1]))
        {
            file += 2;
        }
        else if (file[1] == '.' && isSeparator(file[2]))
        {
            file += 3;
        }
        else
        {
            break;
        }
    }
    return file;
}

void WriteDebugLine(const FailureReport& report) noexcept
{
    wchar_t line[1024];
    LineWriter writer(line, std::size(line) - 1);  // room for the line end
    wchar_t module[MAX_PATH];
    HMODULE self = nullptr;
    (void)::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&WriteDebugLine), &self);
    const DWORD length = ::GetModuleFileNameW(self, module, MAX_PATH);
    const std::wstring_view path(module, length < MAX_PATH ? length : 0);
    writer.Add(path.substr(path.find_last_of(L"\\/") + 1));
    writer.Add(L": ");
    wchar_t text[960];
    writer.Add(std::wstring_view(text, FormatFailure(report, text, std::size(text))));
    line[writer.Length()] = L'\n';
    line[writer.Length() + 1] = L'\0';
    ::OutputDebugStringW(line);
}

}  // namespace

FailureHook SetFailureHook(FailureHook hook) noexcept
{
    return s_hook.exchange(hook);
}

std::size_t FormatFailure(const FailureReport& report, wchar_t* buffer, std::size_t size) noexcept
{
    LineWriter writer(buffer, size);
    if (report.kind == FailureReport::Kind::BrokenRule)
    {
        writer.Add(L"broken rule: ");
    }
    writer.Add(SourceName(report.file));
    writer.Add(L"(");
    writer.AddNumber(static_cast<unsigned long>(report.line), 10);
    writer.Add(L"): ");
    writer.Add(report.expression);
    if (report.code != S_OK)
    {
        writer.Add(L": 0x");
        writer.AddNumber(static_cast<unsigned long>(report.code), 16, 8);
        if (HRESULT_FACILITY(report.code) == FACILITY_WIN32)
        {
            writer.Add(L" (Win32 error ");
            writer.AddNumber(static_cast<unsigned long>(HRESULT_CODE(report.code)), 10);
            writer.Add(L")");
        }
    }
    if (!report.detail.empty())
    {
        writer.Add(L": ");
        writer.Add(report.detail);
    }
    return writer.Length();
}

void ReportFailure(const FailureReport& report) noexcept
{
    const DWORD lastError = ::GetLastError();
    std::unique_lock<std::mutex> gateLock;
    if (FailureGate* gate = t_gate)
    {
        gateLock = std::unique_lock(gate->m_lock);
        if (gate->m_closed)
        {
            return;
        }
    }
    if (const FailureHook hook = s_hook.load())
    {
        hook(report);
    }
    else
    {
        WriteDebugLine(report);
    }
    ::SetLastError(lastError);
}

void ReportFailure(const char* file, int line, const char* expression, HRESULT code, std::wstring_view detail) noexcept
{
    ReportFailure(FailureReport{file, line, expression, code, detail, FailureReport::Kind::Failure});
}

HRESULT ReportWin32Error(const char* file, int line, const char* expression, DWORD error) noexcept
{
    const HRESULT code = error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
    ReportFailure(file, line, expression, code);
    return code;
}

HRESULT ReportCaughtException(const char* file, int line, const char* where) noexcept
{
    HRESULT code = E_UNEXPECTED;
    std::wstring_view what = L"unknown exception";
    wchar_t text[256];
    try
    {
        if (const std::exception_ptr caught = std::current_exception())
        {
            std::rethrow_exception(caught);
        }
        what = L"no exception";
    }
    catch (const std::bad_alloc&)
    {
        code = E_OUTOFMEMORY;
        what = L"out of memory";
    }
    catch (const std::exception& error)
    {
        LineWriter writer(text, std::size(text));
        writer.Add(L"exception: ");
        writer.Add(error.what());
        what = std::wstring_view(text, writer.Length());
    }
    catch (...)
    {
        // Not a standard exception: nothing more to tell than its being unknown.
    }
    ReportFailure(file, line, where, code, what);
    return code;
}

void SetStopOnBrokenRules(bool stop) noexcept
{
    s_stopOnBrokenRules = stop;
}

void ReportBrokenRule(const char* file, int line, const char* rule, std::wstring_view detail) noexcept
{
    ReportFailure(FailureReport{file, line, rule, S_OK, detail, FailureReport::Kind::BrokenRule});
    if (s_stopOnBrokenRules.load())
    {
        std::abort();
    }
}

void FailureGate::Close() noexcept
{
    const std::lock_guard lock(m_lock);
    m_closed = true;
}

FailureGateScope::FailureGateScope(FailureGate& gate) noexcept : m_previous(t_gate)
{
    t_gate = &gate;
}

FailureGateScope::~FailureGateScope()
{
    t_gate = m_previous;
}

}  // namespace win
