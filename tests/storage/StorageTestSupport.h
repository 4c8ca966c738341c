#pragma once
// Helpers of the storage tests that read and make state files without the production code: the key byte is
// worked out here from the key text, and records are laid out here field by field.

#include "storage/XStreamFileMirror.h"
#include "support/TempFolder.h"
#include "win/File.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

namespace storage_testing
{

// The scrambling byte: the low bytes of "QoxM" XORed together.
inline constexpr std::uint8_t kKeyByte = 'Q' ^ 'o' ^ 'x' ^ 'M';

inline std::string Scramble(std::string bytes)
{
    for (char& c : bytes)
    {
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ kKeyByte);
    }
    return bytes;
}

inline std::string RawBytesOf(const std::wstring& path)
{
    std::string bytes;
    return win::File::ReadAll(path, bytes) ? bytes : std::string("<unreadable>");
}

inline std::string PlainBytesOf(const std::wstring& path)
{
    return Scramble(RawBytesOf(path));
}

template <typename T>
std::string Bytes(T value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(T));
}

// Plain bytes of a record: three versions, the tag and the language around the record's own fields, which
// follow (a status record: pavise, norvix, check status, last check; the bubble record: its flag).
struct PlainRecord
{
    std::uint32_t versions[3] = {1, 1, 1};
    std::string tag = "TNYT";
    std::uint16_t languageId = ::GetSystemDefaultLangID();

    [[nodiscard]] std::string Head() const
    {
        return Bytes(versions[0]) + Bytes(versions[1]) + tag + Bytes(languageId) + Bytes(versions[2]);
    }
    [[nodiscard]] std::string Status(
        std::int32_t pavise = 0, std::int32_t norvix = 0, double lastCheck = 0.0, std::int32_t checkStatus = 0) const
    {
        return Head() + Bytes(pavise) + Bytes(norvix) + Bytes(checkStatus) + Bytes(lastCheck);
    }
};

// A stand-in for ReplaceFileW that is denied the replacement and touches nothing.
inline BOOL WINAPI DenyReplace(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// While it lives, the file at `path` cannot be replaced, as a file made read-only or immutable by another program;
// every other file can.
class Unreplaceable
{
public:
    explicit Unreplaceable(std::wstring path)
        : m_rename(storage::XStreamFileMirror::SetRenameForTesting(&Move)),
          m_lookup(storage::XStreamFileMirror::SetReplaceFileLookupForTesting([] { return &Replace; }))
    {
        s_path = std::move(path);
    }
    ~Unreplaceable()
    {
        storage::XStreamFileMirror::SetRenameForTesting(m_rename);
        storage::XStreamFileMirror::SetReplaceFileLookupForTesting(m_lookup);
    }
    Unreplaceable(const Unreplaceable&) = delete;
    Unreplaceable& operator=(const Unreplaceable&) = delete;

private:
    static BOOL WINAPI Replace(
        LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude, LPVOID reserved)
    {
        return s_path == replaced ? DenyReplace(replaced, replacement, backup, flags, exclude, reserved)
                                  : ::ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
    }
    static BOOL WINAPI Move(LPCWSTR existing, LPCWSTR newName, DWORD flags)
    {
        if (s_path == newName)
        {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return ::MoveFileExW(existing, newName, flags);
    }

    static inline std::wstring s_path;
    storage::XStreamFileMirror::RenameProc m_rename;
    storage::XStreamFileMirror::ReplaceFileLookup m_lookup;
};

// A test with a folder of its own that, at its end, finds no "LIN" file left in that folder and no "Kel" file
// left in the temporary folder. The process's temporary folder is one of the test's own meanwhile: suites that
// run beside this one in the same prefix make and remove files of their own in the system's.
class StorageFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t previous[MAX_PATH + 1] = {};
        m_previousTmp.assign(previous, ::GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1));
        ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", m_temp.Path().c_str()));
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, m_folder.CountFiles(L"LIN")) << "mirror or backup left in the file's folder";
        EXPECT_EQ(0u, m_temp.CountFiles(L"Kel")) << "temporary Kel files left behind";
        (void)::SetEnvironmentVariableW(L"TMP", m_previousTmp.empty() ? nullptr : m_previousTmp.c_str());
    }

    testing_support::TempFolder m_folder;
    testing_support::TempFolder m_temp;
    std::wstring m_previousTmp;
};

}  // namespace storage_testing
