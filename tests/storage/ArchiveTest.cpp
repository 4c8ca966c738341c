#include "StorageTestSupport.h"

#include "storage/Archive.h"
#include "storage/XStreamFileMirror.h"

#include <gtest/gtest.h>

namespace
{

using storage_testing::Bytes;
using storage_testing::RawBytesOf;

using ArchiveTest = storage_testing::StorageFixture;

// More values than one 4096-byte buffer holds, so that both directions cross a buffer edge mid-value.
TEST_F(ArchiveTest, ValuesCrossingBufferEdgesRoundTripLittleEndianAndEndRaisesEndOfFile)
{
    constexpr std::uint32_t kCount = 1100;  // 4400 bytes, after a 2-byte value: every fill splits a value
    const std::wstring path = m_folder.File(L"archive.bin");
    {
        XStreamFileMirror file;
        ASSERT_TRUE(
            file.Open(path, win::FileAccess::ReadWrite, win::FileShare::Exclusive, win::FileCreate::CreateAlways));
        storage::Archive archive(file, storage::Archive::Mode::Store);
        archive << std::uint16_t{0xBEEF};
        for (std::uint32_t i = 0; i < kCount; ++i)
        {
            archive << (i * 0x01010101u);
        }
        archive << std::int32_t{-3} << 45123.5;
        archive.Close();
        ASSERT_TRUE(file.Close());
    }
    const std::string raw = RawBytesOf(path);
    ASSERT_EQ(2 + 4 * kCount + 4 + 8, raw.size());
    EXPECT_EQ("\xEF\xBE", raw.substr(0, 2));
    EXPECT_EQ(Bytes(1023u * 0x01010101u), raw.substr(2 + 4 * 1023, 4));  // spans offset 4096
    EXPECT_EQ(Bytes(std::int32_t{-3}) + Bytes(45123.5), raw.substr(2 + 4 * kCount));

    XStreamFileMirror file;
    ASSERT_TRUE(file.Open(path, win::FileAccess::Read, win::FileShare::DenyWrite, win::FileCreate::OpenExisting));
    storage::Archive archive(file, storage::Archive::Mode::Load);
    std::uint16_t head = 0;
    archive >> head;
    EXPECT_EQ(0xBEEF, head);
    for (std::uint32_t i = 0; i < kCount; ++i)
    {
        std::uint32_t value = 0;
        archive >> value;
        ASSERT_EQ(i * 0x01010101u, value) << "value " << i;
    }
    std::int32_t negative = 0;
    double date = 0.0;
    archive >> negative >> date;
    EXPECT_EQ(-3, negative);
    EXPECT_EQ(45123.5, date);
    try
    {
        archive >> negative;
        ADD_FAILURE() << "reading past the end succeeded";
    }
    catch (const storage::ArchiveException& e)
    {
        EXPECT_EQ(storage::ArchiveException::Cause::EndOfFile, e.GetCause());
    }
    file.Abort();
}

} // namespace
