#include "FakeBubbleOwner.h"

#include "bubble/ShowInstallBubble.h"
#include "res/resource.h"
#include "support/FailureReports.h"
#include "support/TempFolder.h"
#include "support/Wait.h"
#include "ui/XGlobalGDI.h"
#include "win/File.h"

#include <gtest/gtest.h>

namespace
{
class ShowInstallBubbleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT));
        owner.OpenHost();
        path = folder.File(kInstallBubbleFileName);
    }

    void TearDown() override
    {
        bubble.reset();
        owner.CloseHost();
    }

    // One start of the add-on in a browser window: a fresh control with its own file object and bubble.
    bool Start()
    {
        bubble.reset();
        file.reset();
        return ShowInstallBubbleOnce(owner, owner.HostWindow(), path, file, bubble);
    }

    // The flag as a new reader finds it in the file.
    std::uint32_t StoredFlag()
    {
        XToolbarBubbleConfigFile reader;
        reader.Open(path);
        EXPECT_TRUE(reader.Load(false, false));
        return reader.GetRecord() ? reader.GetRecord()->m_showFlag : 99;
    }

    testing_support::TempFolder folder;
    std::wstring path;
    FakeBubbleOwner owner;
    std::unique_ptr<XToolbarBubbleConfigFile> file;
    std::unique_ptr<InstallBubbleDialog> bubble;
};
}  // namespace

TEST_F(ShowInstallBubbleTest, ShownOnceAcrossStartsAndAgainAfterTheFileIsDeletedOrDamaged)
{
    ASSERT_TRUE(Start()) << "first start, no file";
    ASSERT_TRUE(bubble && bubble->IsWindow());
    EXPECT_EQ(0u, StoredFlag()) << "cleared before the bubble was shown";
    EXPECT_TRUE(testing_support::WaitFor([&] { return ::IsWindowVisible(bubble->Hwnd()) != FALSE; }));
    EXPECT_FALSE(Start()) << "second start";
    EXPECT_EQ(nullptr, bubble);
    EXPECT_EQ(0u, StoredFlag());

    ASSERT_TRUE(::DeleteFileW(path.c_str()));
    EXPECT_TRUE(Start()) << "after the file was deleted";
    EXPECT_EQ(0u, StoredFlag());
    ASSERT_TRUE(win::File::WriteAll(path, "garbage"));
    const testing_support::ExpectFailureReports damaged{"archive: end of file", "damaged, reset and written anew"};
    EXPECT_TRUE(Start()) << "after the file was damaged";
    EXPECT_EQ(0u, StoredFlag());
    EXPECT_FALSE(Start());
}

TEST_F(ShowInstallBubbleTest, AnOpenBubbleIsReplacedAndAnUnwritableFileStillShowsIt)
{
    ASSERT_TRUE(Start());
    const HWND first = bubble->Hwnd();
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(ShowInstallBubbleOnce(owner, owner.HostWindow(), path, file, bubble));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_TRUE(bubble->IsWindow());

    path = folder.File(L"no such folder\\") + kInstallBubbleFileName;
    const testing_support::ExpectFailureReports unwritable{
        "!opened: 0x80070003", "not saved, the file keeps its last whole record"};
    EXPECT_TRUE(Start());
    EXPECT_TRUE(Start()) << "nothing could be saved, so the next start shows it again";
}
