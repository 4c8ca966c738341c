#include "StorageTestSupport.h"

#include "storage/XStreamEncryptor.h"

#include <gtest/gtest.h>

namespace
{

using storage_testing::KeyByte;
using storage_testing::RawBytesOf;

class XStreamEncryptorTest : public storage_testing::StorageFixture
{
};

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
    const XStreamEncryptor encryptor;
    const std::wstring plain = m_folder.File(L"plain.bin");
    const std::wstring scrambled = m_folder.File(L"scrambled.bin");
    const std::wstring back = m_folder.File(L"back.bin");
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 10000u})
    {
        SCOPED_TRACE(::testing::Message() << size << " bytes");
        const std::string source = Pattern(size);
        ASSERT_TRUE(win::File::WriteAll(plain, source));

        // The second round writes over the file the first one left.
        ASSERT_TRUE(encryptor.EncodeFile(plain, scrambled));
        const std::string encoded = RawBytesOf(scrambled);
        ASSERT_EQ(size, encoded.size());
        for (std::size_t i = 0; i < size; ++i)
        {
            ASSERT_EQ(static_cast<std::uint8_t>(source[i]) ^ KeyByte(), static_cast<std::uint8_t>(encoded[i]))
                << "byte " << i;
        }
        ASSERT_TRUE(encryptor.DecodeFile(scrambled, back));
        EXPECT_EQ(source, RawBytesOf(back));
    }
}

TEST_F(XStreamEncryptorTest, KeyByteComesFromTheLowByteOfEachCodeUnit)
{
    struct Case
    {
        const wchar_t* key;
        std::uint8_t expectedXor;
    };
    const Case cases[] = {
        {L"", 0x00},
        {L"AA", 0x00},                             // low bytes cancel out
        {L"\x0141\x0241", 0x00},                   // high bytes do not count
        {L"\x0151\x016F\x0178\x014D", KeyByte()},  // "QoxM" with high bytes set
        {L"Q", 0x51},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "key of " << std::wstring(c.key).size() << " units, xor "
                                          << int(c.expectedXor));
        std::string buffer = Pattern(300);
        const std::string original = buffer;
        XStreamEncryptor(c.key).Transform(buffer.data(), buffer.size());
        for (std::size_t i = 0; i < buffer.size(); ++i)
        {
            ASSERT_EQ(static_cast<std::uint8_t>(original[i]) ^ c.expectedXor, static_cast<std::uint8_t>(buffer[i]));
        }
    }
}

TEST_F(XStreamEncryptorTest, MissingSourceFailsAndLeavesTargetAlone)
{
    const XStreamEncryptor encryptor;
    const std::wstring missing = m_folder.File(L"missing.bin");
    const std::wstring newTarget = m_folder.File(L"new.bin");
    EXPECT_FALSE(encryptor.EncodeFile(missing, newTarget));
    EXPECT_FALSE(win::File::Exists(newTarget));

    const std::wstring oldTarget = m_folder.File(L"old.bin");
    ASSERT_TRUE(win::File::WriteAll(oldTarget, "old contents"));
    EXPECT_FALSE(encryptor.EncodeFile(missing, oldTarget));
    EXPECT_FALSE(encryptor.DecodeFile(missing, oldTarget));
    EXPECT_EQ("old contents", RawBytesOf(oldTarget));
}

} // namespace
