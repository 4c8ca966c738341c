// Where the add-on may write: its data folder with its fallbacks, and the toolbar's user values.

#include "platform/BrowserUtilities.h"

#include "FakePlatformSystem.h"
#include "ScratchKey.h"
#include "support/TempFolder.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace
{

using platform_tests::FakePlatformSystem;
using platform_tests::ScratchKey;

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WriteableFolderTest, TakesTheFirstSourceThatGivesAFolderAndCreatesTheSubfolder)
{
    testing_support::TempFolder temp;
    ASSERT_TRUE(win::File::WriteAll(temp.File(L"file"), "a file, not a folder"));
    const std::wstring ie = temp.Path() + L"ie", known = temp.Path() + L"known\\", roaming = temp.Path() + L"r\\deep";
    const std::tuple<const char*, bool, BOOL, std::wstring, std::wstring, std::wstring, bool, std::wstring, int>
        cases[] = {
            {"browser folder", true, TRUE, ie, known, roaming, true, ie + L"\\KelToolbar\\", 1},
            {"no browser export", true, TRUE, L"", known, roaming, true, known + L"KelToolbar\\", 1},
            {"before Vista", false, TRUE, ie, known, roaming, true, known + L"KelToolbar\\", 0},
            {"normal integrity", true, FALSE, ie, known, roaming, true, known + L"KelToolbar\\", 0},
            {"no known folder", true, TRUE, L"", L"", roaming, true, roaming + L"\\KelToolbar\\", 1},
            {"nothing at all", true, TRUE, L"", L"", L"", true, L"C:\\Module\\", 1},
            {"parent is a file", true, TRUE, temp.File(L"file"), known, roaming, true, L"C:\\Module\\", 1},
            {"creation refused", true, TRUE, ie, known, roaming, false, L"C:\\Module\\", 1},
        };
    for (const auto& [name, vista, low, ieFolder, knownFolder, appData, creatable, expected, ieAsks] : cases)
    {
        SCOPED_TRACE(name);
        FakePlatformSystem system;
        system.vista = vista;
        system.ieFolder = ieFolder;
        system.knownFolder = knownFolder;
        system.appDataFolder = appData;
        system.createFolders = creatable;
        system.moduleFolder = L"C:\\Module";
        const std::wstring folder = platform::GetWriteableFolder(L"KelToolbar", low, system);
        EXPECT_EQ(win::WideToAnsi(expected, CP_UTF8), win::WideToAnsi(folder, CP_UTF8));
        EXPECT_EQ(ieAsks, system.ieFolderAsks);
        EXPECT_TRUE(folder == L"C:\\Module\\" || IsFolder(folder));
        if (!system.knownFolderAsks.empty())
        {
            EXPECT_EQ(low ? &FOLDERID_LocalAppDataLow : &FOLDERID_LocalAppData, system.knownFolderAsks[0]);
        }
    }
}

TEST(WriteableUserValueTest, ReadsTheBranchTheBrowserAllowsAndNeverOverrunsItsBuffer)
{
    ScratchKey user, browser;
    FakePlatformSystem system;
    system.userRoot = user.Get();
    const std::wstring key = platform::kToolbarUserKey;
    user.SetText(key, L"guid", L"user");
    browser.SetText(key, L"guid", L"browser");
    user.SetText(key + L"Options", L"ShowText", L"1");
    const std::wstring longest(8191, L'x'), tooLong(8192, L'y'), unterminatedHuge(20000, L'z');
    user.SetText(key, L"longest", longest);
    user.SetText(key, L"tooLong", tooLong);
    user.Set(key, L"binary", REG_BINARY, "A\0B\0C", 5);
    user.Set(key, L"unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    user.Set(key, L"unterminatedHuge", REG_SZ, unterminatedHuge.data(), unterminatedHuge.size() * sizeof(wchar_t));
    const std::tuple<const char*, bool, bool, const wchar_t*, const wchar_t*, BOOL, std::wstring> cases[] = {
        {"Vista: browser branch", true, true, nullptr, L"guid", TRUE, L"browser"},
        {"Vista without browser branch", true, false, nullptr, L"guid", TRUE, L"user"},
        {"before Vista", false, true, nullptr, L"guid", TRUE, L"user"},
        {"subkey", false, false, L"Options", L"ShowText", TRUE, L"1"},
        {"missing subkey", false, false, L"Nowhere", L"guid", FALSE, L""},
        {"missing value", true, true, L"Options", L"ShowText", FALSE, L""},
        {"longest that fits", false, false, nullptr, L"longest", TRUE, longest},
        {"too long", false, false, nullptr, L"tooLong", FALSE, L""},
        {"binary", false, false, nullptr, L"binary", FALSE, L""},
        {"unterminated", false, false, nullptr, L"unterminated", TRUE, L"abc"},
        {"unterminated and too long", false, false, nullptr, L"unterminatedHuge", FALSE, L""},
    };
    for (const auto& [name, vista, browserRoot, subkey, valueName, found, expected] : cases)
    {
        SCOPED_TRACE(name);
        system.vista = vista;
        system.ieUserRootPath = browserRoot ? browser.Path() : L"";
        std::wstring value = L"sentinel";
        EXPECT_EQ(found, platform::ReadWriteableUserValue(subkey, valueName, value, system));
        EXPECT_TRUE(value == expected) << value.size() << " characters";
    }
}

}  // namespace
