// The installer packages under Wine's own installer (msiexec): a per-user install the host creates the
// control from and that uninstalls to the last file and key, a newer version over an older one and not the
// other way, an install whose module has gone missing, and a per-machine install. Each test lists the
// machine's files and keys before, checks what the install wrote for the control against the module's own
// registration and compares the listing after the uninstall. The packages were built and signed by check-packages
// before this suite (the NorvixPackages fixture).

#include "NorvixSystem.h"  // first: the service's sockets need winsock2.h before windows.h

#include "Installer.h"

#include "win/File.h"
#include "win/Handle.h"
#include "win/InternetHandle.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace package_tests
{
namespace
{

using integration::Host;
using integration::kIconGood;
using integration::kUpdateButton;
using integration::OverlayState;
using integration::WindowsPath;
using package_testing::KnownFolder;
using package_testing::Quoted;
using package_testing::RunMsiexec;

// The 64-bit package's installed products (each version is a product of its own).
std::vector<std::wstring> InstalledProducts()
{
    return package_testing::InstalledProducts(L"Norvix Addon (64-bit)");
}

const std::wstring kPackages = WindowsPath(NORVIX_PACKAGES) + L"\\";
const std::wstring kCurrent = kPackages + L"Norvix-x64.msi";
const std::wstring kOlder = kPackages + L"Norvix-x64-older.msi";

// What an installer can change on this machine, listed so that two listings compare: every key and value under
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE\Software but Wine's own settings ("Software\Wine", which Wine changes
// as programs run), and every file and folder on drive C: (folders that are links, as a Wine prefix links Desktop
// and the like to the Linux home folder, are listed but not entered). One entry per key, value, folder or file:
//   "HKCU\Software\Classes\Kel.Norvix\"                  a key                    -> ""
//   "HKCU\Software\Classes\Kel.Norvix\\@="Norvix Addon""  a value (after \\)     -> ""
//   "C:\users\me\AppData\Local\Programs\"                a folder                 -> ""
//   "C:\users\me\...\Norvix.dll"                         a file                   -> its size in bytes
using Listing = std::map<std::wstring, std::wstring>;

// Saving a branch of the registry takes the backup privilege, which the prefix's user holds but has not enabled.
void EnableBackupPrivilege()
{
    win::KernelHandle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put()));
    TOKEN_PRIVILEGES privileges{1, {{{}, SE_PRIVILEGE_ENABLED}}};
    ASSERT_TRUE(::LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &privileges.Privileges[0].Luid));
    ASSERT_TRUE(::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr));
}

// The branch `path` of `root`, named `name` in the listing, as Wine's registry saves it: a "[key] stamp" line for
// each key (the path relative to the branch, each backslash doubled), then its values as "name"=data lines, a
// long one continued on indented lines. One save is one request to the Wine server, where reading the branch key
// by key takes one per key and value: a prefix holds some 15000 keys.
void ListBranch(HKEY root, const wchar_t* path, const std::wstring& name, Listing& entries)
{
    const std::wstring file = L"registry-branch.reg";  // in the working folder, in the build tree: not on drive C:
    (void)::DeleteFileW(file.c_str());
    const win::RegKey key = win::OpenRegKey(root, path);
    std::string bytes;
    const LONG status = key ? ::RegSaveKeyW(key.Get(), file.c_str(), nullptr) : ERROR_FILE_NOT_FOUND;
    ASSERT_EQ(ERROR_SUCCESS, status) << "saving " << win::WideToAnsi(name);
    ASSERT_TRUE(win::File::ReadAll(file, bytes));
    (void)::DeleteFileW(file.c_str());
    std::wistringstream lines(win::ReplaceAll(win::AnsiToWide(bytes, CP_UTF8), L"\\\n  ", L""));
    std::wstring current;
    for (std::wstring line; std::getline(lines, line);)
    {
        line = win::ReplaceAll(line, L"\\\\", L"\\");
        if (line.starts_with(L"["))
        {
            current = name + L"\\" + line.substr(1, line.rfind(L']') - 1) + L"\\";
            const std::wstring lower = win::ToLower(current);
            current = lower.starts_with(L"hkcu\\software\\wine\\") || lower.starts_with(L"hklm\\software\\wine\\")
                ? L""
                : current;
            if (!current.empty())
            {
                entries[current] = L"";
            }
        }
        else if (!current.empty() && (line.starts_with(L"\"") || line.starts_with(L"@")))
        {
            entries[current + L"\\" + line] = L"";
        }
    }
}

void ListFolder(const std::wstring& folder, Listing& entries)
{
    WIN32_FIND_DATAW found{};
    win::FindHandle search(
        ::FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.Get(), &found))
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
        {
            continue;
        }
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            entries[folder + name] =
                std::to_wstring((static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
            continue;
        }
        entries[folder + name + L"\\"] = L"";
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        {
            ListFolder(folder + name + L"\\", entries);
        }
    }
}

// The keys `keys` ("HKCU\..." or "HKLM\...", without the closing backslash), each with all below it.
Listing ListKeys(const std::vector<std::wstring>& keys)
{
    Listing entries;
    ListBranch(HKEY_CURRENT_USER, L"", L"HKCU", entries);
    ListBranch(HKEY_LOCAL_MACHINE, L"Software", L"HKLM\\Software", entries);
    std::erase_if(entries, [&](const auto& entry) {
        return std::none_of(keys.begin(), keys.end(), [&](const std::wstring& key) {
            return win::EqualsNoCase(entry.first.substr(0, key.size() + 1), key + L"\\");
        });
    });
    return entries;
}

Listing ListSystem()
{
    Listing entries = ListKeys({L"HKCU", L"HKLM\\Software"});
    ListFolder(L"C:\\", entries);
    return entries;
}

// Entries of `later` that `earlier` lacks or holds otherwise, each as "entry = content" (a key or folder alone).
std::vector<std::wstring> Added(const Listing& earlier, const Listing& later)
{
    std::vector<std::wstring> added;
    for (const auto& [entry, content] : later)
    {
        const auto it = earlier.find(entry);
        if (it == earlier.end() || it->second != content)
        {
            added.push_back(content.empty() ? entry : entry + L" = " + content);
        }
    }
    return added;
}

// The parts of a classes branch that belong to the control: its class, ProgID, type library and interfaces.
const wchar_t* const kControlSubtrees[] = {
    L"\\CLSID\\{595EF3BD-A186-454A-810C-02015139ACDC}\\",
    L"\\Kel.Norvix\\",
    L"\\TypeLib\\{006AD7B2-968A-11DE-88C9-5BDE55D89593}\\",
    L"\\Interface\\{1370A38E-9688-11DE-8914-73D155D89593}\\",
    L"\\Interface\\{907FB2BE-968A-11DE-A40A-A7E655D89593}\\",
};

// Those parts in both classes branches, as the listing names keys.
std::vector<std::wstring> ControlKeys()
{
    std::vector<std::wstring> keys;
    for (const wchar_t* branch : {L"HKCU\\Software\\Classes", L"HKLM\\Software\\Classes"})
    {
        for (const std::wstring subtree : kControlSubtrees)
        {
            keys.push_back(branch + subtree.substr(0, subtree.size() - 1));
        }
    }
    return keys;
}

// The control's entries among snapshot lines, in lower case (keys and paths compare without regard to case: Wine's
// machine branch spells one "Typelib"), with the branch written as <classes>, the module's path as <module> and its
// folder (with or without the closing backslash) as <folder>, so that a registration in one branch from one place
// compares with one in another branch from another place.
std::vector<std::wstring> ControlEntries(
    const std::vector<std::wstring>& lines, const std::wstring& classes, const std::wstring& module)
{
    const std::wstring branch = win::ToLower(classes), path = win::ToLower(module), folder = win::FolderOf(path);
    std::vector<std::wstring> entries;
    for (const std::wstring& line : lines)
    {
        const std::wstring entry = win::ToLower(line);
        if (entry.starts_with(branch) &&
            std::any_of(std::begin(kControlSubtrees), std::end(kControlSubtrees), [&](const wchar_t* subtree) {
                return entry.compare(branch.size(), wcslen(subtree), win::ToLower(subtree)) == 0;
            }))
        {
            const std::wstring named = win::ReplaceAll(
                win::ReplaceAll(L"<classes>" + entry.substr(branch.size()), path, L"<module>"), folder, L"<folder>");
            entries.push_back(win::ReplaceAll(named, folder.substr(0, folder.size() - 1), L"<folder>"));
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// What the module writes when it registers itself for the current user: the reference for the package's
// registry rows. Under Wine the type library goes to the machine's branch (there is no per-user type
// library registration), so both branches are read.
std::vector<std::wstring> SelfRegistration()
{
    using SetPerUser = HRESULT(STDAPICALLTYPE*)(BOOL);
    using Register = HRESULT(STDAPICALLTYPE*)();
    const std::wstring path = WindowsPath(NORVIX_DLL);
    win::ModuleHandle module(::LoadLibraryW(path.c_str()));
    EXPECT_TRUE(module);
    const auto setPerUser = win::GetProc<SetPerUser>(module.Get(), "DllSetPerUserRegistration");
    const auto registerServer = win::GetProc<Register>(module.Get(), "DllRegisterServer");
    const auto unregisterServer = win::GetProc<Register>(module.Get(), "DllUnregisterServer");
    if (!setPerUser || !registerServer || !unregisterServer)
    {
        ADD_FAILURE() << "the module lacks its registration exports";
        return {};
    }
    EXPECT_EQ(S_OK, setPerUser(TRUE));
    const Listing before = ListKeys(ControlKeys());
    EXPECT_EQ(S_OK, registerServer());
    const std::vector<std::wstring> added = Added(before, ListKeys(ControlKeys()));
    EXPECT_EQ(S_OK, unregisterServer());
    EXPECT_EQ(S_OK, setPerUser(FALSE));
    std::vector<std::wstring> entries = ControlEntries(added, L"HKCU\\Software\\Classes", path);
    const auto machine = ControlEntries(added, L"HKLM\\Software\\Classes", path);
    entries.insert(entries.end(), machine.begin(), machine.end());
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    EXPECT_TRUE(win::File::ReadAll(path, bytes)) << win::WideToAnsi(path);
    return bytes;
}

class PackageTest : public integration::NorvixSystemTest
{
public:
    // Nothing is registered for the suite, unlike the integration suites: the packages do that.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
        EnableBackupPrivilege();
        RemoveEveryInstall();  // what a run that died midway may have left
        WarmUpInternetSettings();
        s_selfRegistration = SelfRegistration();
        ASSERT_FALSE(s_selfRegistration.empty());
    }
    static void TearDownTestSuite() { ::OleUninitialize(); }

    // WinINet writes its proxy setting and its cookie index the first time a program uses it in a prefix:
    // used once here, before any listing, they are not taken for what the control's first run left.
    static void WarmUpInternetSettings()
    {
        const win::InternetHandle session(
            ::InternetOpenW(L"PackageTests", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        ASSERT_TRUE(session);
        wchar_t cookie[256] = {};
        DWORD size = ARRAYSIZE(cookie);
        (void)::InternetGetCookieW(L"http://127.0.0.1/", nullptr, cookie, &size);
    }

protected:
    void SetUp() override
    {
        NorvixSystemTest::SetUp();
        m_before = ListSystem();
    }

    void TearDown() override
    {
        if (HasFailure())
        {
            RemoveEveryInstall();
        }
        NorvixSystemTest::TearDown();
    }

    // Every installed product of the package, in both scopes; then the install folders if they are empty.
    static void RemoveEveryInstall()
    {
        for (const std::wstring& product : InstalledProducts())
        {
            (void)RunMsiexec(L"/x " + product);
            (void)RunMsiexec(L"/x " + product + L" ALLUSERS=1");
        }
        const std::wstring user = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs";
        const std::wstring machine = KnownFolder(FOLDERID_ProgramFiles) + L"\\Kel";
        for (const std::wstring& folder : {user + L"\\Kel\\Norvix\\x64", user + L"\\Kel\\Norvix", user + L"\\Kel", user,
                 machine + L"\\Norvix", machine})
        {
            ::RemoveDirectoryW(folder.c_str());
        }
    }

    // Checks what the install added: the module at `module`, and in the `classes` branch exactly what the
    // module's own registration writes (the type library's FLAGS aside: the package writes "0", Wine's
    // type library registration the library's flags). Anything else it added is found by the uninstall's check.
    void ExpectInstalled(const std::wstring& classes, const std::wstring& module)
    {
        const std::vector<std::wstring> added = Added(m_before, ListKeys(ControlKeys()));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(module.c_str())) << win::WideToAnsi(module);

        auto written = ControlEntries(added, classes, module);
        const wchar_t flags[] = L"<classes>\\typelib\\{006ad7b2-968a-11de-88c9-5bde55d89593}\\1.0\\flags\\\\@=";
        EXPECT_NE(written.end(), std::find(written.begin(), written.end(), flags + std::wstring(L"\"0\"")));
        auto expected = s_selfRegistration;
        for (auto* list : {&written, &expected})
        {
            std::erase_if(*list, [&](const std::wstring& line) { return line.starts_with(flags); });
        }
        EXPECT_EQ(expected, written) << "the package's rows against the module's own registration";

        const std::wstring otherBranch = classes[2] == L'C' ? L"HKLM\\Software\\Classes" : L"HKCU\\Software\\Classes";
        EXPECT_EQ(std::vector<std::wstring>{}, ControlEntries(added, otherBranch, module));
    }

    // After an uninstall: everything as before the test, but the user's state files and this test's own
    // scratch folder (settings, installer logs).
    void ExpectAsBefore(const std::vector<std::wstring>& keep = {})
    {
        const Listing after = ListSystem();
        const std::wstring scratch = m_folder.Path();
        const auto kept = [&](const std::wstring& line) {
            const std::wstring entry = line.substr(0, line.find(L" = "));
            return win::EqualsNoCase(entry.substr(0, scratch.size()), scratch) ||
                std::any_of(
                    keep.begin(), keep.end(), [&](const std::wstring& k) { return win::EqualsNoCase(k, entry); });
        };
        std::vector<std::wstring> left, removed;
        for (const auto& line : Added(m_before, after))
        {
            // The installer's own bookkeeping keys, which it makes the first time it runs in a prefix, stay.
            if (!kept(line) && !(line.ends_with(L"\\") && line.find(L"\\Installer\\") != std::wstring::npos))
            {
                left.push_back(line);
            }
        }
        // NOTE: Wine's installer also deletes the keys that removing its values left empty, up to the branch
        // ("HKCU\Software\Classes" when nothing else is in it), even those that were there before; only
        // empty keys on the way to the control's own may go.
        for (const auto& line : Added(after, m_before))
        {
            if (!kept(line) && !IsKeyAboveTheControl(line))
            {
                removed.push_back(line);
            }
        }
        EXPECT_EQ(std::vector<std::wstring>{}, left) << "left behind";
        EXPECT_EQ(std::vector<std::wstring>{}, removed) << "removed";
    }

    // A key on the path to the control's keys (a value removed below it is reported on its own).
    static bool IsKeyAboveTheControl(const std::wstring& entry)
    {
        const std::vector<std::wstring> keys = ControlKeys();
        return entry.ends_with(L'\\') && std::any_of(keys.begin(), keys.end(), [&](const std::wstring& key) {
            return ::_wcsnicmp((key + L"\\").c_str(), entry.c_str(), entry.size()) == 0;
        });
    }

    // A host whose first tab reports `created` and whose control runs against the service.
    void RunControl(const std::string& created)
    {
        // The host's report of the first tab's control comes before "ready", which starting the host waits for.
        Host& host = StartHost();
        EXPECT_EQ(created, host.FirstLine("tab 1 control "));
        EXPECT_TRUE(integration::WaitForOverlay(host, 1, kUpdateButton,
            [](const OverlayState& s) { return s.icon == kIconGood && s.title == "Daily update complete"; }));
        EXPECT_EQ(0, host.Quit());
        m_hosts.clear();
    }

    // A host finds the installed module gone: it reports the failure, carries on without the add-on and ends
    // normally.
    void ExpectMissingModuleReported(const std::string& report)
    {
        Host& host = StartHost();
        EXPECT_EQ(report, host.FirstLine("tab 1 control "));
        ASSERT_TRUE(host.Send("open"));
        EXPECT_TRUE(host.WaitFor("tab 2 control failed step=create hr="));
        EXPECT_EQ(0, host.Quit());
        m_hosts.clear();
    }

    static std::vector<std::wstring> s_selfRegistration;
    Listing m_before;
};

std::vector<std::wstring> PackageTest::s_selfRegistration;

const std::wstring kUserModule = L"\\Programs\\Kel\\Norvix\\x64\\Norvix.dll";

// After the control has run, the module goes missing: the host reports a clear failure and carries on.
// Per user it loads the module itself (HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)); per machine COM does, and Wine's
// COM then answers E_ACCESSDENIED where Windows' gives the loader's error.
TEST_F(PackageTest, PerUserInstallRunsTheControlRefusesAnOlderVersionAndUninstallLeavesOnlyTheUsersStateFiles)
{
    const std::wstring module = KnownFolder(FOLDERID_LocalAppData) + kUserModule;
    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kCurrent + L"\""));
    ExpectInstalled(L"HKCU\\Software\\Classes", module);
    // An older version is refused over it (ERROR_INSTALL_FAILURE: the package's launch condition). NOTE: only
    // before any upgrade: after one Wine's installer no longer finds the installed version as related.
    const std::vector<std::wstring> current = InstalledProducts();
    ASSERT_EQ(1u, current.size());
    EXPECT_EQ(ERROR_INSTALL_FAILURE, RunMsiexec(L"/i \"" + kOlder + L"\""));
    EXPECT_EQ(current, InstalledProducts());

    // The host makes the control from the installed file (from the user's registration: see KelHost's help),
    // and it runs against the service: definitions up to date.
    RunControl("tab 1 control created module=" + Quoted(module) + " per-user=1");
    const std::string status = ReadBytes(StatusFilePath());
    const std::string bubble = ReadBytes(BubbleFilePath());
    ASSERT_TRUE(win::File::Remove(module));
    ExpectMissingModuleReported(
        "tab 1 control failed step=create hr=0x8007007E module=" + Quoted(module) + " per-user=1");

    ASSERT_EQ(0, RunMsiexec(L"/x \"" + kCurrent + L"\""));
    ExpectAsBefore({StatusFilePath()});
    EXPECT_EQ(status, ReadBytes(StatusFilePath()));
    EXPECT_EQ(bubble, ReadBytes(BubbleFilePath()));
}

TEST_F(PackageTest, NewerVersionReplacesTheOlderAndKeepsTheStateFiles)
{
    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kOlder + L"\""));
    const std::vector<std::wstring> older = InstalledProducts();
    ASSERT_EQ(1u, older.size());
    ASSERT_TRUE(win::File::WriteAll(StatusFilePath(), "the user's own status"));  // the installer never reads it
    const std::string status = ReadBytes(StatusFilePath());
    const std::string bubble = ReadBytes(BubbleFilePath());

    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kCurrent + L"\""));
    const std::vector<std::wstring> current = InstalledProducts();
    ASSERT_EQ(1u, current.size()) << "the older version is still installed beside the newer";
    EXPECT_NE(older[0], current[0]);
    // Wine's installer removes the older product after installing the newer: what they share must stay.
    ExpectInstalled(L"HKCU\\Software\\Classes", KnownFolder(FOLDERID_LocalAppData) + kUserModule);
    EXPECT_EQ(status, ReadBytes(StatusFilePath()));
    EXPECT_EQ(bubble, ReadBytes(BubbleFilePath()));

    ASSERT_EQ(0, RunMsiexec(L"/x \"" + kCurrent + L"\""));
    EXPECT_EQ(std::vector<std::wstring>{}, InstalledProducts());
    ExpectAsBefore({StatusFilePath()});
    EXPECT_EQ(status, ReadBytes(StatusFilePath()));
}

TEST_F(PackageTest, PerMachineInstallRegistersInTheMachineBranchForCom)
{
    const std::wstring module = KnownFolder(FOLDERID_ProgramFiles) + L"\\Kel\\Norvix\\Norvix.dll";
    ASSERT_EQ(0, RunMsiexec(L"/i \"" + kCurrent + L"\" ALLUSERS=1"));
    ExpectInstalled(L"HKLM\\Software\\Classes", module);
    RunControl("tab 1 control created module=" + Quoted(module));  // COM itself finds the class: no per-user=1
    ASSERT_TRUE(win::File::Remove(module));
    ExpectMissingModuleReported("tab 1 control failed step=create hr=0x80070005");

    // NOTE: Wine's msiexec removes a per-machine product only when told ALLUSERS=1 again; without it, it
    // finds nothing to remove and still exits 0. Windows knows the product's context by itself.
    ASSERT_EQ(0, RunMsiexec(L"/x \"" + kCurrent + L"\" ALLUSERS=1"));
    ExpectAsBefore({StatusFilePath()});
}

}  // namespace
}  // namespace package_tests
