#include "platform/XVersionInfo.h"

#include "support/TempFolder.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

TEST(XVersionInfoTest, ReadsVersionPartsAndStringsOfTheRequestedTranslationAndAFailedLoadForgetsThem)
{
    // Built next to this executable: version 8.0.6001.18702, string tables for US English (the first
    // translation) and German.
    const std::wstring probe = win::FolderOf(win::ModuleFileName(nullptr)) + L"VersionProbe.dll";
    XVersionInfo info;
    ASSERT_TRUE(info.Load(probe.c_str()));
    EXPECT_EQ(L"8.0.6001.18702", info.GetFileVersionText(FALSE));
    EXPECT_EQ(L"8,0,6001,18702", info.GetFileVersionText(TRUE));
    UINT major = 99, minor = 99, build = 99, revision = 99;
    ASSERT_TRUE(info.GetProductVersionParts(&major, &minor, &build, &revision));
    EXPECT_EQ((std::vector<UINT>{8, 0, 6001, 18702}), (std::vector<UINT>{major, minor, build, revision}));
    // Language in the high word, code page in the low word: the way the string tables are named.
    EXPECT_EQ(0x040904b0u, info.GetTranslation());
    EXPECT_EQ(L"Version probe", info.GetString(L"FileDescription"));
    EXPECT_EQ(L"Versionssonde", info.GetString(L"FileDescription", 0x040704e4));
    EXPECT_EQ(L"", info.GetString(L"CompanyName", 0x040704e4));
    EXPECT_EQ(L"", info.GetString(nullptr));

    testing_support::TempFolder folder;
    ASSERT_TRUE(win::File::WriteAll(folder.File(L"plain.txt"), "no version here"));
    for (const std::wstring& path : {folder.File(L"plain.txt"), folder.File(L"missing.dll"), std::wstring()})
    {
        SCOPED_TRACE(win::WideToAnsi(path, CP_UTF8));
        ASSERT_TRUE(info.Load(probe.c_str()));
        EXPECT_FALSE(info.Load(path.c_str()));
        EXPECT_EQ(L"", info.GetString(L"FileDescription"));
        EXPECT_EQ(L"", info.GetFileVersionText(FALSE));
        VS_FIXEDFILEINFO fixed;
        fixed.dwSignature = 99;
        EXPECT_FALSE(info.GetFixedInfo(fixed));
        EXPECT_EQ(0u, fixed.dwSignature);
    }
}

} // namespace
