#include "StorageTestSupport.h"

#include "storage/XStreamEncryptor.h"
#include "support/FailureReports.h"

#include <gtest/gtest.h>

namespace
{

using storage_testing::RawBytesOf;
using storage_testing::Scramble;

using XStreamEncryptorTest = storage_testing::StorageFixture;

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
    {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

TEST_F(XStreamEncryptorTest, CopyXorsEveryByteAcrossBlockEdgesAndDecodesBack)
{
    const storage::XStreamEncryptor encryptor;
    const std::wstring plain = m_folder.File(L"plain.bin");
    const std::wstring scrambled = m_folder.File(L"scrambled.bin");
    const std::wstring back = m_folder.File(L"back.bin");
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 10000u})
    {
        SCOPED_TRACE(::testing::Message() << size << " bytes");
        ASSERT_TRUE(win::File::WriteAll(plain, Pattern(size)));
        // The second round writes over the file the first one left.
        ASSERT_TRUE(encryptor.EncodeFile(plain, scrambled));
        EXPECT_EQ(Scramble(Pattern(size)), RawBytesOf(scrambled));
        ASSERT_TRUE(encryptor.DecodeFile(scrambled, back));
        EXPECT_EQ(Pattern(size), RawBytesOf(back));
    }

    // A missing source fails and leaves the target as it was, or absent.
    const testing_support::ExpectFailureReports notFound{"!sourceOpened: 0x80070002"};
    const std::wstring missing = m_folder.File(L"missing.bin");
    EXPECT_FALSE(encryptor.EncodeFile(missing, m_folder.File(L"new.bin")));
    EXPECT_FALSE(win::File::Exists(m_folder.File(L"new.bin")));
    EXPECT_FALSE(encryptor.EncodeFile(missing, back));
    EXPECT_FALSE(encryptor.DecodeFile(missing, back));
    EXPECT_EQ(Pattern(10000), RawBytesOf(back));
}

}  // namespace
