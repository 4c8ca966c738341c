#pragma once
// HTTPOptionItem: one WinINet option (an INTERNET_OPTION_* number and its value bytes) that a caller wants
// set on the handles of a request, such as a time-out. The item owns a copy of the value.

#include <windows.h>

#include <vector>

namespace net
{

class HTTPOptionItem
{
public:
    HTTPOptionItem() = default;
    HTTPOptionItem(DWORD option, const void* value, DWORD length);
    HTTPOptionItem(const HTTPOptionItem&) = default;
    HTTPOptionItem& operator=(const HTTPOptionItem&) = default;
    virtual ~HTTPOptionItem() = default;

    // A 32-bit option such as a time-out in milliseconds.
    [[nodiscard]] static HTTPOptionItem FromDword(DWORD option, DWORD value);

    [[nodiscard]] DWORD Option() const noexcept { return m_option; }
    // The value bytes; null when the item has none.
    [[nodiscard]] const void* Value() const noexcept { return m_value.empty() ? nullptr : m_value.data(); }
    [[nodiscard]] DWORD Length() const noexcept { return static_cast<DWORD>(m_value.size()); }

private:
    DWORD m_option = 0;
    std::vector<BYTE> m_value;
};

}  // namespace net
