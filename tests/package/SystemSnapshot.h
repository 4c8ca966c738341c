#pragma once
// SystemSnapshot: what an installer can change on this machine, listed so that two listings can be compared:
// every key and value under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE\Software, and every file and folder on
// drive C:. Folders that are links (a Wine prefix links Desktop, Documents and the like to the Linux home
// folder) are listed but not entered. Wine's own settings ("Software\Wine" in both branches) are left out:
// Wine changes them as programs run (such as "Temporary System Parameters").
//
// Entries, one per key, value, folder or file:
//   "HKCU\Software\Classes\Kel.Norvix\"            a key                    -> ""
//   "HKCU\Software\Classes\Kel.Norvix\\CLSID"      a value (name after \\)  -> "REG_SZ {595E...}"
//   "C:\users\me\AppData\Local\Programs\"          a folder                 -> ""
//   "C:\users\me\...\Norvix.dll"                   a file                   -> its size in bytes

#include <map>
#include <string>
#include <vector>

namespace package_tests
{

class SystemSnapshot
{
public:
    [[nodiscard]] static SystemSnapshot Take();
    // Only `keys` (named as above, "HKCU\..." or "HKLM\...", without the closing backslash) and `files`: a quick
    // look at what an install wrote where it was meant to, beside the whole listing that finds everything else.
    [[nodiscard]] static SystemSnapshot TakeOf(
        const std::vector<std::wstring>& keys, const std::vector<std::wstring>& files);

    // Entries of `later` that are not in this one or differ from it, each as "entry = content".
    [[nodiscard]] std::vector<std::wstring> AddedIn(const SystemSnapshot& later) const;
    // Entries of this one that `later` no longer has.
    [[nodiscard]] std::vector<std::wstring> RemovedIn(const SystemSnapshot& later) const;

    [[nodiscard]] const std::map<std::wstring, std::wstring>& Entries() const noexcept { return m_entries; }

private:
    std::map<std::wstring, std::wstring> m_entries;
};

}  // namespace package_tests
