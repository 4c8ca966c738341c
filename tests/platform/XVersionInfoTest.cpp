#include "platform/XVersionInfo.h"

#include "ProbePaths.h"
#include "support/TempFolder.h"
#include "win/File.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace
{

using platform_tests::VersionProbePath;

constexpr UINT kSentinel = 0xDEADBEEF;

TEST(XVersionInfoTest, ReadsVersionPartsInBothForms)
{
    XVersionInfo info;
    ASSERT_TRUE(info.Load(VersionProbePath().c_str()));
    EXPECT_EQ(L"8.0.6001.18702", info.GetFileVersionText(FALSE));
    EXPECT_EQ(L"8,0,6001,18702", info.GetFileVersionText(TRUE));
    EXPECT_EQ(L"8,0,6001,18702", info.GetProductVersionText(TRUE));

    UINT major = kSentinel, minor = kSentinel, build = kSentinel, revision = kSentinel;
    ASSERT_TRUE(info.GetProductVersionParts(&major, &minor, &build, &revision));
    EXPECT_EQ(8u, major);
    EXPECT_EQ(0u, minor);
    EXPECT_EQ(6001u, build);
    EXPECT_EQ(18702u, revision);
    EXPECT_TRUE(info.GetProductVersionParts(nullptr, nullptr, &build, nullptr));
    EXPECT_EQ(6001u, build);
    EXPECT_EQ(8u, info.GetProductMajor());
    EXPECT_EQ(0u, info.GetProductMinor());
    EXPECT_EQ(6001u, info.GetProductBuild());
    EXPECT_EQ(18702u, info.GetProductRevision());
}

TEST(XVersionInfoTest, StringsComeFromFirstTranslationUnlessAnotherIsNamed)
{
    XVersionInfo info;
    ASSERT_TRUE(info.Load(VersionProbePath().c_str()));
    // Language in the high word, code page in the low word: the way the string tables are named.
    EXPECT_EQ(0x040904b0u, info.GetTranslation());
    EXPECT_EQ(L"Version probe", info.GetString(L"FileDescription"));
    EXPECT_EQ(L"Probe Works", info.GetString(L"CompanyName"));
    EXPECT_EQ(L"Versionssonde", info.GetString(L"FileDescription", 0x040704e4));
    EXPECT_EQ(L"", info.GetString(L"CompanyName", 0x040704e4));
    EXPECT_EQ(L"", info.GetString(L"NoSuchValue"));
    EXPECT_EQ(L"", info.GetString(nullptr));
    EXPECT_EQ(L"", info.GetString(L""));
}

TEST(XVersionInfoTest, FileWithoutVersionLeavesEverythingEmpty)
{
    testing_support::TempFolder folder;
    const std::wstring plain = folder.File(L"plain.txt");
    ASSERT_TRUE(win::File::WriteAll(plain, "no version here"));
    const std::wstring paths[] = {plain, folder.File(L"missing.dll"), L""};
    for (const auto& path : paths)
    {
        SCOPED_TRACE(::testing::Message() << "path " << win::WideToAnsi(path, CP_UTF8));
        XVersionInfo info;
        // A failed load must also drop what an earlier load read.
        ASSERT_TRUE(info.Load(VersionProbePath().c_str()));
        EXPECT_FALSE(info.Load(path.c_str()));
        EXPECT_FALSE(info.IsLoaded());
        EXPECT_EQ(L"", info.GetString(L"FileDescription"));
        EXPECT_EQ(0u, info.GetTranslation());
        EXPECT_EQ(L"", info.GetFileVersionText(FALSE));
        EXPECT_EQ(L"", info.GetProductVersionText(TRUE));
        VS_FIXEDFILEINFO fixed;
        fixed.dwSignature = kSentinel;
        EXPECT_FALSE(info.GetFixedInfo(fixed));
        EXPECT_EQ(0u, fixed.dwSignature);
        UINT major = kSentinel, revision = kSentinel;
        EXPECT_FALSE(info.GetProductVersionParts(&major, nullptr, nullptr, &revision));
        EXPECT_EQ(0u, major);
        EXPECT_EQ(0u, revision);
        EXPECT_EQ(0u, info.GetProductMajor());
    }
    EXPECT_FALSE(XVersionInfo().Load(nullptr));
}

} // namespace
