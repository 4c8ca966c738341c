#include "platform/XVersionInfo.h"

#include "win/Module.h"
#include "win/Strings.h"

#include <cwchar>

namespace platform
{

namespace
{

std::wstring VersionText(DWORD mostSignificant, DWORD leastSignificant, BOOL commas)
{
    return win::Format(commas ? L"%u,%u,%u,%u" : L"%u.%u.%u.%u", HIWORD(mostSignificant), LOWORD(mostSignificant),
        HIWORD(leastSignificant), LOWORD(leastSignificant));
}

}  // namespace

XVersionInfo::XVersionInfo(BOOL loadOwnModule)
{
    if (loadOwnModule)
    {
        const std::wstring path = win::ModuleFileName(win::ThisModule());
        Load(path.c_str());
    }
}

XVersionInfo::~XVersionInfo() = default;

void XVersionInfo::Free() noexcept
{
    m_data.clear();
    m_data.shrink_to_fit();
    m_translation = 0;
}

BOOL XVersionInfo::Load(const wchar_t* path)
{
    Free();
    if (!path || !*path)
    {
        return FALSE;
    }
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
    {
        return FALSE;
    }
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data()))
    {
        return FALSE;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < sizeof(DWORD))
    {
        return FALSE;
    }
    // Each entry is a language word followed by a code-page word; swapped, it prints as language then code
    // page, which is how the string tables are named.
    const DWORD entry = *static_cast<const DWORD*>(value);
    m_translation = MAKELONG(HIWORD(entry), LOWORD(entry));
    m_data = std::move(data);
    return TRUE;
}

std::wstring XVersionInfo::GetString(const wchar_t* name, DWORD translation) const
{
    if (m_data.empty() || !name || !*name)
    {
        return {};
    }
    const std::wstring block = win::Format(
        L"\\StringFileInfo\\%08lx\\%ls", static_cast<unsigned long>(translation ? translation : m_translation), name);
    void* value = nullptr;
    UINT length = 0;
    // VerQueryValueW only reads; the buffer is const to us.
    if (!::VerQueryValueW(const_cast<BYTE*>(m_data.data()), block.c_str(), &value, &length) || !value)
    {
        return {};
    }
    // The length counts characters; the stored text need not be terminated within it.
    const auto* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, ::wcsnlen(text, length));
}

BOOL XVersionInfo::GetFixedInfo(VS_FIXEDFILEINFO& info) const
{
    info = {};
    if (m_data.empty())
    {
        return FALSE;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(const_cast<BYTE*>(m_data.data()), L"\\", &value, &length) || !value ||
        length < sizeof(VS_FIXEDFILEINFO))
    {
        return FALSE;
    }
    info = *static_cast<const VS_FIXEDFILEINFO*>(value);
    return TRUE;
}

std::wstring XVersionInfo::GetFileVersionText(BOOL commas) const
{
    VS_FIXEDFILEINFO info;
    return GetFixedInfo(info) ? VersionText(info.dwFileVersionMS, info.dwFileVersionLS, commas) : std::wstring();
}

std::wstring XVersionInfo::GetProductVersionText(BOOL commas) const
{
    VS_FIXEDFILEINFO info;
    return GetFixedInfo(info) ? VersionText(info.dwProductVersionMS, info.dwProductVersionLS, commas) : std::wstring();
}

BOOL XVersionInfo::GetProductVersionParts(UINT* major, UINT* minor, UINT* build, UINT* revision) const
{
    UINT* outputs[] = {major, minor, build, revision};
    for (UINT* output : outputs)
    {
        if (output)
        {
            *output = 0;
        }
    }
    const std::wstring text = GetProductVersionText(/*commas=*/TRUE);
    if (text.empty())
    {
        return FALSE;
    }
    size_t start = 0;
    for (UINT* output : outputs)
    {
        const size_t comma = text.find(L',', start);
        const std::wstring part = win::Trim(std::wstring_view(text).substr(start, comma - start));
        if (output)
        {
            *output = static_cast<UINT>(win::ParseDecimal(part));
        }
        if (comma == std::wstring::npos)
        {
            break;
        }
        start = comma + 1;
    }
    return TRUE;
}

UINT XVersionInfo::GetProductMajor() const
{
    UINT value = 0;
    GetProductVersionParts(&value, nullptr, nullptr, nullptr);
    return value;
}

UINT XVersionInfo::GetProductMinor() const
{
    UINT value = 0;
    GetProductVersionParts(nullptr, &value, nullptr, nullptr);
    return value;
}

UINT XVersionInfo::GetProductBuild() const
{
    UINT value = 0;
    GetProductVersionParts(nullptr, nullptr, &value, nullptr);
    return value;
}

UINT XVersionInfo::GetProductRevision() const
{
    UINT value = 0;
    GetProductVersionParts(nullptr, nullptr, nullptr, &value);
    return value;
}

}  // namespace platform
