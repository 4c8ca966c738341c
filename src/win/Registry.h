#pragma once
// Registry reads and writes with bounded, always-terminated results.

#include "win/Handle.h"

#include <string>
#include <string_view>

namespace win
{

// Opens a key; an invalid RegKey when it cannot be opened (GetLastError holds the reason).
[[nodiscard]] RegKey OpenRegKey(HKEY root, std::wstring_view path, REGSAM access = KEY_READ) noexcept;
[[nodiscard]] RegKey CreateRegKey(HKEY root, std::wstring_view path, REGSAM access = KEY_READ | KEY_WRITE) noexcept;

// Reads a string value (REG_SZ or REG_EXPAND_SZ, not expanded) into a buffer of maxChars characters; a
// longer value, another type or a missing value gives false and leaves `value` empty. The text always ends
// inside the buffer, at its first zero character, even when the stored data lacks a terminator.
[[nodiscard]] bool ReadRegString(HKEY key, const wchar_t* name, std::wstring& value, size_t maxChars = 8192);
[[nodiscard]] bool ReadRegDword(HKEY key, const wchar_t* name, DWORD& value) noexcept;

[[nodiscard]] bool WriteRegString(HKEY key, const wchar_t* name, std::wstring_view value) noexcept;
[[nodiscard]] bool WriteRegDword(HKEY key, const wchar_t* name, DWORD value) noexcept;

// Removes a key with all its subkeys; true also when it did not exist.
[[nodiscard]] bool DeleteRegTree(HKEY root, std::wstring_view path) noexcept;

}  // namespace win
