#pragma once
// The shared status file as other instances leave it and find it, for the tests of the control's parts.

#include "Core/SharedStatusFile.h"
#include "win/File.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace core_tests
{

// Writes the file at `path` as another instance publishes `pavise` and `norvix`; `checked` stamps the last check.
inline void Publish(const std::wstring& path, std::int32_t pavise, std::int32_t norvix, bool checked = true)
{
    core::SharedStatusFile other;
    other.Open(path, core::SharedStatusFile::Caller::Worker);
    ASSERT_TRUE(other.Save({checked, pavise, norvix}, core::SharedStatusFile::Caller::Worker));
}

// The file at `path` held as a busy process holds it (opened without sharing) until the result goes.
inline win::File Held(const std::wstring& path)
{
    win::File file;
    EXPECT_TRUE(file.Open(path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::OpenExisting));
    return file;
}

// The record as another instance finds it in the file at `path`.
inline std::optional<core::StatusRecord> Stored(const std::wstring& path)
{
    core::SharedStatusFile reader;
    reader.Open(path, core::SharedStatusFile::Caller::Worker);
    return reader.Record();
}

}  // namespace core_tests
