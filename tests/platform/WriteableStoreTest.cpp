// Where the add-on may write: its data folder's fallbacks and the toolbar's user values.

#include "platform/BrowserUtilities.h"

#include "FakePlatformSystem.h"
#include "ScratchKey.h"
#include "support/TempFolder.h"
#include "win/File.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using platform_tests::FakePlatformSystem;
using platform_tests::ScratchKey;

std::string Narrow(const std::wstring& text)
{
    return win::WideToAnsi(text, CP_UTF8);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WriteableFolderTest, TakesFirstSourceThatGivesAFolderAndCreatesTheSubfolder)
{
    testing_support::TempFolder temp;
    const std::wstring ie = temp.Path() + L"ie";
    const std::wstring known = temp.Path() + L"known\\";
    const std::wstring roaming = temp.Path() + L"roaming\\deeper";
    struct Case
    {
        const char* name;
        bool vista;
        BOOL lowIntegrity;
        std::wstring ieFolder;
        std::wstring knownFolder;
        std::wstring appData;
        std::wstring expected;
        int ieAsks;
    };
    const Case cases[] = {
        {"browser folder", true, TRUE, ie, known, roaming, ie + L"\\KelToolbar\\", 1},
        {"no browser export", true, TRUE, L"", known, roaming, known + L"KelToolbar\\", 1},
        {"before Vista", false, TRUE, ie, known, roaming, known + L"KelToolbar\\", 0},
        {"normal integrity", true, FALSE, ie, known, roaming, known + L"KelToolbar\\", 0},
        {"no known folder", true, TRUE, L"", L"", roaming, roaming + L"\\KelToolbar\\", 1},
        {"nothing at all", true, TRUE, L"", L"", L"", L"C:\\Module\\", 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        system.vista = c.vista;
        system.ieFolder = c.ieFolder;
        system.knownFolder = c.knownFolder;
        system.appDataFolder = c.appData;
        EXPECT_EQ(Narrow(c.expected), Narrow(GetWriteableFolder(L"KelToolbar", c.lowIntegrity, system)));
        EXPECT_EQ(c.ieAsks, system.ieFolderAsks);
        if (c.expected != L"C:\\Module\\")
        {
            EXPECT_TRUE(IsFolder(c.expected));
        }
    }
}

TEST(WriteableFolderTest, AsksForTheLowFolderOnlyAtLowIntegrity)
{
    for (const BOOL low : {TRUE, FALSE})
    {
        SCOPED_TRACE(::testing::Message() << "lowIntegrity " << low);
        FakePlatformSystem system;
        system.moduleFolder = L"C:\\Module";
        EXPECT_EQ(L"C:\\Module\\", GetWriteableFolder(L"KelToolbar", low, system));
        ASSERT_EQ(1u, system.knownFolderAsks.size());
        EXPECT_TRUE(::IsEqualGUID(low ? FOLDERID_LocalAppDataLow : FOLDERID_LocalAppData, *system.knownFolderAsks[0]));
        EXPECT_TRUE(system.createdFolders.empty());
    }
}

TEST(WriteableFolderTest, FolderThatCannotBeCreatedFallsBackToModuleFolder)
{
    testing_support::TempFolder temp;
    ASSERT_TRUE(win::File::WriteAll(temp.File(L"occupied"), "a file, not a folder"));
    struct Case
    {
        const char* name;
        std::wstring known;
        bool creatable;
        std::wstring created;
    };
    const Case cases[] = {
        {"parent is a file", temp.File(L"occupied"), true, temp.File(L"occupied\\KelToolbar")},
        {"creation refused", temp.Path(), false, temp.File(L"KelToolbar")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePlatformSystem system;
        system.knownFolder = c.known;
        system.createFolders = c.creatable;
        EXPECT_EQ(L"C:\\Module\\", GetWriteableFolder(L"KelToolbar", TRUE, system));
        ASSERT_EQ(1u, system.createdFolders.size());
        EXPECT_EQ(Narrow(c.created), Narrow(system.createdFolders[0]));
    }
}

TEST(WriteableFolderTest, CreatesEveryMissingParentAndAcceptsExistingFolders)
{
    testing_support::TempFolder temp;
    PlatformSystem system;
    const std::wstring deep = temp.Path() + L"a\\b\\c";
    EXPECT_TRUE(system.CreateFolderTree(deep));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(system.CreateFolderTree(deep + L"\\"));
    EXPECT_TRUE(system.CreateFolderTree(temp.Path() + L"a/b/d"));
    EXPECT_TRUE(IsFolder(temp.Path() + L"a\\b\\d"));
    ASSERT_TRUE(win::File::WriteAll(temp.File(L"file"), "x"));
    EXPECT_FALSE(system.CreateFolderTree(temp.File(L"file")));
    EXPECT_FALSE(system.CreateFolderTree(temp.File(L"file") + L"\\below"));
    EXPECT_FALSE(system.CreateFolderTree(L""));
}

class WriteableUserValueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_user.Get());
        ASSERT_TRUE(m_browser.Get());
        m_system.userRoot = m_user.Get();
        m_system.ieUserRootPath = m_browser.Path();
    }

    void Store(const ScratchKey& root, const std::wstring& subkey, const wchar_t* name, const std::wstring& text)
    {
        const win::RegKey key = root.Create(std::wstring(kToolbarUserKey) + subkey);
        ASSERT_TRUE(win::WriteRegString(key.Get(), name, text));
    }

    ScratchKey m_user;
    ScratchKey m_browser;
    FakePlatformSystem m_system;
};

TEST_F(WriteableUserValueTest, ReadsFromTheBranchTheBrowserAllows)
{
    Store(m_user, L"", L"guid", L"user");
    Store(m_browser, L"", L"guid", L"browser");
    Store(m_user, L"Options", L"ShowText", L"1");
    struct Case
    {
        const char* name;
        bool vista;
        bool browserRoot;
        const wchar_t* subkey;
        const wchar_t* value;
        BOOL found;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"Vista: browser branch", true, true, nullptr, L"guid", TRUE, L"browser"},
        {"Vista without browser branch", true, false, nullptr, L"guid", TRUE, L"user"},
        {"before Vista", false, true, nullptr, L"guid", TRUE, L"user"},
        {"subkey", false, false, L"Options", L"ShowText", TRUE, L"1"},
        {"value only in another key", false, false, nullptr, L"ShowText", FALSE, L""},
        {"missing subkey", false, false, L"Nowhere", L"guid", FALSE, L""},
        {"missing in browser branch", true, true, L"Options", L"ShowText", FALSE, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_system.vista = c.vista;
        m_system.ieUserRootPath = c.browserRoot ? m_browser.Path() : L"";
        std::wstring value = L"sentinel";
        EXPECT_EQ(c.found, ReadWriteableUserValue(c.subkey, c.value, value, m_system));
        EXPECT_EQ(Narrow(c.expected), Narrow(value));
    }
}

TEST_F(WriteableUserValueTest, StoredDataOfAnyLengthOrTypeNeverOverrunsTheBuffer)
{
    m_system.vista = false;
    const std::wstring path = std::wstring(kToolbarUserKey);
    const std::wstring longest(8191, L'x');
    const std::wstring tooLong(8192, L'y');
    Store(m_user, L"", L"longest", longest);
    Store(m_user, L"", L"tooLong", tooLong);
    const BYTE binary[] = {0x41, 0x00, 0x42, 0x00, 0x43};
    m_user.SetRaw(path, L"binary", REG_BINARY, binary, sizeof(binary));
    const DWORD number = 7;
    m_user.SetRaw(path, L"number", REG_DWORD, &number, sizeof(number));
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    m_user.SetRaw(path, L"unterminated", REG_SZ, unterminated, sizeof(unterminated));
    const std::wstring hugeUnterminated(20000, L'z');
    m_user.SetRaw(path, L"hugeUnterminated", REG_SZ, hugeUnterminated.data(),
        static_cast<DWORD>(hugeUnterminated.size() * sizeof(wchar_t)));
    m_user.SetRaw(path, L"empty", REG_SZ, L"", sizeof(wchar_t));
    struct Case
    {
        const wchar_t* name;
        BOOL found;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"longest", TRUE, longest},
        {L"tooLong", FALSE, L""},
        {L"binary", FALSE, L""},
        {L"number", FALSE, L""},
        {L"unterminated", TRUE, L"abc"},
        {L"hugeUnterminated", FALSE, L""},
        {L"empty", TRUE, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.name));
        std::wstring value = L"sentinel";
        EXPECT_EQ(c.found, ReadWriteableUserValue(nullptr, c.name, value, m_system));
        EXPECT_EQ(c.expected.size(), value.size());
        EXPECT_TRUE(value == c.expected);
    }
}

TEST(TabShortcutBehaviorTest, MissingOrMistypedValueMeansOne)
{
    ScratchKey root;
    FakePlatformSystem system;
    system.userRoot = root.Get();
    EXPECT_EQ(1, GetTabShortcutBehavior(system));
    const win::RegKey key = root.Create(kTabbedBrowsingKey);
    EXPECT_EQ(1, GetTabShortcutBehavior(system));
    ASSERT_TRUE(win::WriteRegString(key.Get(), L"ShortcutBehavior", L"0"));
    EXPECT_EQ(1, GetTabShortcutBehavior(system));
    for (const DWORD stored : {0ul, 2ul})
    {
        ASSERT_TRUE(win::WriteRegDword(key.Get(), L"ShortcutBehavior", stored));
        EXPECT_EQ(static_cast<int>(stored), GetTabShortcutBehavior(system));
    }
}

} // namespace
