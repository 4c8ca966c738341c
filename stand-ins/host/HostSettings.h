#pragma once
// The host's settings store: what host call 8 answers for a key. A key without a stored value gives the
// default the caller passes, as the real host does for keys it does not know. Stored values come from an
// override file (lines "key=value") and from the command channel. Keys match exactly. UI thread only.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelhost
{

class HostSettings
{
public:
    [[nodiscard]] std::wstring Lookup(std::wstring_view key, std::wstring_view defaultValue) const;
    void Set(std::wstring key, std::wstring value);
    [[nodiscard]] size_t Size() const noexcept { return m_values.size(); }

    // Reads override lines: "key=value", key and value trimmed, the first "=" splits (so values may hold
    // "="), an empty value is a value. Blank lines and lines starting with '#' or ';' are skipped. A line
    // without "=" or with an empty key is not taken; its number and text go to `problems`. Later lines win.
    void LoadText(std::wstring_view text, std::vector<std::wstring>& problems);

    // The same from a file in UTF-8 (with or without a byte-order mark) or UTF-16LE with its mark. False when
    // the file cannot be read; the store is then unchanged.
    [[nodiscard]] bool LoadFile(const std::wstring& path, std::vector<std::wstring>& problems);

private:
    std::map<std::wstring, std::wstring, std::less<>> m_values;
};

}  // namespace kelhost
