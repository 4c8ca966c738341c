#pragma once
// Helpers of the storage tests that read and make state files without the production code: the key byte is
// worked out here from the key text, and fields are read by their byte offsets.

#include "support/TempFolder.h"
#include "win/File.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

namespace storage_testing
{

// The scrambling byte: the low bytes of "QoxM" XORed together.
inline std::uint8_t KeyByte()
{
    std::uint8_t key = 0;
    for (const wchar_t c : std::wstring(L"QoxM"))
    {
        key ^= static_cast<std::uint8_t>(c & 0xFF);
    }
    return key;
}

inline std::string Scramble(std::string bytes)
{
    for (char& c : bytes)
    {
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ KeyByte());
    }
    return bytes;
}

// The plain archive bytes of a file on disk ("" when it cannot be read).
inline std::string PlainBytesOf(const std::wstring& path)
{
    std::string bytes;
    return win::File::ReadAll(path, bytes) ? Scramble(bytes) : std::string();
}

inline std::string RawBytesOf(const std::wstring& path)
{
    std::string bytes;
    return win::File::ReadAll(path, bytes) ? bytes : std::string("<unreadable>");
}

template <typename T>
T FieldAt(const std::string& bytes, std::size_t offset)
{
    T value{};
    if (offset + sizeof(T) <= bytes.size())
    {
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    }
    return value;
}

template <typename T>
void Append(std::string& bytes, T value)
{
    bytes.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

// Plain bytes of a status record, field by field.
struct PlainStatus
{
    std::uint32_t versions[3] = {1, 1, 1};
    std::string tag = "TNYT";
    std::uint16_t languageId = ::GetSystemDefaultLangID();
    std::int32_t paviseStatus = 0;
    std::int32_t norvixStatus = 0;
    std::int32_t checkStatus = 0;
    double lastCheck = 0.0;

    [[nodiscard]] std::string Bytes() const
    {
        std::string bytes;
        Append(bytes, versions[0]);
        Append(bytes, versions[1]);
        bytes += tag;
        Append(bytes, languageId);
        Append(bytes, versions[2]);
        Append(bytes, paviseStatus);
        Append(bytes, norvixStatus);
        Append(bytes, checkStatus);
        Append(bytes, lastCheck);
        return bytes;
    }
};

inline void WriteScrambled(const std::wstring& path, const std::string& plain)
{
    ASSERT_TRUE(win::File::WriteAll(path, Scramble(plain)));
}

inline std::wstring SystemTempFolder()
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, n);
}

// Names of the files in `folder` (ending in a backslash) that start with `prefix`.
inline std::set<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& prefix)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    const win::FindHandle find(::FindFirstFileW((folder + prefix + L"*").c_str(), &data));
    if (!find)
    {
        return names;
    }
    do
    {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            names.insert(data.cFileName);
        }
    } while (::FindNextFileW(find.Get(), &data));
    return names;
}

// A test with a folder of its own that, at its end, finds no "LIN" file left in that folder and no "Kel"
// file left in the system's temporary folder by the test.
class StorageFixture : public ::testing::Test
{
protected:
    void SetUp() override { m_kelBefore = FilesIn(SystemTempFolder(), L"Kel"); }
    void TearDown() override
    {
        EXPECT_EQ(0u, m_folder.CountFiles(L"LIN")) << "mirror or backup left in the file's folder";
        std::set<std::wstring> left = FilesIn(SystemTempFolder(), L"Kel");
        for (const auto& name : m_kelBefore)
        {
            left.erase(name);
        }
        EXPECT_TRUE(left.empty()) << left.size() << " temporary Kel file(s) left behind";
    }

    testing_support::TempFolder m_folder;
    std::set<std::wstring> m_kelBefore;
};

} // namespace storage_testing
