#pragma once
// XVersionInfo: the version resource of one module file. Load reads the whole resource into a buffer the
// object owns; the getters read from that buffer. Strings are looked up under the file's first translation
// unless the caller names another. Every getter gives FALSE, 0 or "" when nothing is loaded or the value is
// missing. Not shared between threads; copying is not allowed (the buffer has one owner).

#include <windows.h>

#include <string>
#include <vector>

namespace platform
{

class XVersionInfo
{
public:
    // With loadOwnModule, loads the version of the module file that contains this code.
    explicit XVersionInfo(BOOL loadOwnModule = FALSE);
    XVersionInfo(const XVersionInfo&) = delete;
    XVersionInfo& operator=(const XVersionInfo&) = delete;
    virtual ~XVersionInfo();

    // Frees what was loaded, then reads the version resource of `path`. A file without a version resource
    // or without a translation table leaves the object empty and gives FALSE.
    BOOL Load(const wchar_t* path);
    [[nodiscard]] BOOL IsLoaded() const noexcept { return !m_data.empty(); }

    // A string value such as "FileDescription". translation 0 means the file's own: the language in the
    // high word and the code page in the low word, as it prints with "%08lx" ("040904b0").
    [[nodiscard]] std::wstring GetString(const wchar_t* name, DWORD translation = 0) const;
    [[nodiscard]] DWORD GetTranslation() const noexcept { return m_translation; }

    [[nodiscard]] BOOL GetFixedInfo(VS_FIXEDFILEINFO& info) const;

    // The four 16-bit parts, most significant first, joined by commas or by points.
    [[nodiscard]] std::wstring GetFileVersionText(BOOL commas) const;
    [[nodiscard]] std::wstring GetProductVersionText(BOOL commas) const;

    // The product version's four parts; each output may be null. FALSE (and zeros) when it cannot be read.
    BOOL GetProductVersionParts(UINT* major, UINT* minor, UINT* build, UINT* revision) const;
    [[nodiscard]] UINT GetProductMajor() const;
    [[nodiscard]] UINT GetProductMinor() const;
    [[nodiscard]] UINT GetProductBuild() const;
    [[nodiscard]] UINT GetProductRevision() const;

private:
    void Free() noexcept;

    std::vector<BYTE> m_data;
    DWORD m_translation = 0;
};

}  // namespace platform
