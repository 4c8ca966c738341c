// Included first into every file that scripts/check-tidy analyses. The standard library of the mingw-w64
// compilers (libstdc++ 12) defines std::source_location only where the compiler has __builtin_source_location,
// which Debian's clang 14 does not (clang 15 does), so <source_location> comes out empty and every use of it
// would be an error. This gives clang the same class from the builtins it has (current is constexpr, not
// consteval: clang 14 refuses a consteval call in a default argument). The compilers that build the module
// never see it.
#pragma once

#include <source_location>

#if !__has_builtin(__builtin_source_location)
namespace std
{
struct source_location
{
    static constexpr source_location current(const char* file = __builtin_FILE(),
        const char* function = __builtin_FUNCTION(), unsigned line = __builtin_LINE(),
        unsigned column = __builtin_COLUMN()) noexcept
    {
        source_location where;
        where.m_file = file;
        where.m_function = function;
        where.m_line = line;
        where.m_column = column;
        return where;
    }
    constexpr source_location() noexcept = default;
    constexpr const char* file_name() const noexcept { return m_file; }
    constexpr const char* function_name() const noexcept { return m_function; }
    constexpr unsigned line() const noexcept { return m_line; }
    constexpr unsigned column() const noexcept { return m_column; }

private:
    const char* m_file = "";
    const char* m_function = "";
    unsigned m_line = 0;
    unsigned m_column = 0;
};
}  // namespace std
#endif
