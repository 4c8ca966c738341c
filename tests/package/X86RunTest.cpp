// The installed 32-bit package at work: the host makes the control from the installed file and runs it against
// the service (its first state, a click on the update button and the update it starts), then the uninstall
// takes the file and the control's keys away. A polling control with the service in this process: under the
// emulator such a process breaks for the emulator's sake, so this suite is left out of the emulated default set
// and runs where the kernel runs 32-bit programs itself (see tests/CMakeLists.txt).

#include "NorvixSystem.h"  // first: the service's sockets need winsock2.h before windows.h

#include "Installer.h"

#include "Core/NorvixIds.h"
#include "support/Wait.h"
#include "win/ComRegistration.h"
#include "win/Registry.h"

#include <gtest/gtest.h>

namespace
{

using integration::Host;
using integration::kIconAction;
using integration::kIconGood;
using integration::kUpdateButton;
using integration::OverlayState;
using integration::WaitForOverlay;
using package_testing::InstalledProducts;
using package_testing::RunMsiexec;

const std::wstring kPackage = integration::WindowsPath(NORVIX_X86_PACKAGE);
const wchar_t kProduct[] = L"Norvix Addon";

class X86PackageRunTest : public integration::NorvixSystemTest
{
public:
    // Nothing is registered for the suite: the package does that.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
        package_testing::UninstallEvery(kProduct);  // what a run that died midway left
    }
    static void TearDownTestSuite()
    {
        package_testing::UninstallEvery(kProduct);
        ::OleUninitialize();
    }
};

TEST_F(X86PackageRunTest, InstalledControlShowsTheStateUpdatesOnAClickAndUninstallsCleanly)
{
    const std::wstring module =
        package_testing::KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Kel\\Norvix\\x86\\Norvix.dll";
    // After the click only the update interval makes a poll due.
    SetSetting("KelTb.Str.Norvix.Status.Default.Interval", "600");
    SetSetting("KelTb.Str.Norvix.Status.Update.Interval", "3");
    m_service.SetDefinitions("yellow");
    m_service.SetUpdateDelayMs(500);
    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kPackage + L"\""));

    Host& host = StartHost();
    EXPECT_EQ("tab 1 control created module=" + package_testing::Quoted(module) + " per-user=1",
        host.FirstLine("tab 1 control "));
    ASSERT_TRUE(WaitForOverlay(
        host, 1, kUpdateButton, [](const OverlayState& s) { return s.icon == kIconAction && s.enabled; }));
    ASSERT_TRUE(host.Send("click 1 update"));
    EXPECT_TRUE(testing_support::WaitFor([&] { return Requests("/DoUpdate") == 1; }, 5000));
    EXPECT_TRUE(WaitForOverlay(
        host, 1, kUpdateButton,
        [](const OverlayState& s) { return s.icon == kIconGood && s.title == "Daily update complete"; }, 30000));
    EXPECT_EQ(0, host.Quit());
    m_hosts.clear();

    ASSERT_EQ(0, RunMsiexec(L"/x \"" + kPackage + L"\""));
    EXPECT_EQ(std::vector<std::wstring>{}, InstalledProducts(kProduct));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(module.c_str()));
    const std::wstring classKey = L"Software\\Classes\\CLSID\\" + win::GuidToString(core::CLSID_Norvix);
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, classKey));
}

}  // namespace
