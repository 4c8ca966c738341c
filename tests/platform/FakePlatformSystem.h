#pragma once
// A PlatformSystem whose steps are data: each step answers from its fields and records how it was called.
// Folder creation and registry reads go to the real system only where a test says so.

#include "platform/PlatformSystem.h"
#include "win/Registry.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace platform_tests
{

struct ShellCall
{
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;  // "<null>" when none was given
    int show = -1;
};

class FakePlatformSystem : public PlatformSystem
{
public:
    // Registry: default values by (root, view, path). Roots are compared as given (HKLM, HKCR).
    void SetText(HKEY root, REGSAM view, const std::wstring& path, const std::wstring& value)
    {
        registry[{root, view, path}] = value;
    }

    bool vista = true;
    bool wow64 = false;
    std::wstring ieFolder;
    std::wstring knownFolder;
    std::wstring appDataFolder;
    std::wstring moduleFolder = L"C:\\Module\\";
    bool createFolders = true;  // false: every folder creation fails
    std::wstring ieUserRootPath;  // under HKCU; "" for none
    HKEY userRoot = nullptr;      // not owned
    std::map<std::wstring, std::wstring> environment;
    INT_PTR shellResult = 42;
    bool ieLaunchSucceeds = false;
    INT_PTR findResult = 42;
    std::wstring foundExecutable;

    std::vector<const KNOWNFOLDERID*> knownFolderAsks;
    int ieFolderAsks = 0;
    std::vector<std::wstring> createdFolders;
    std::vector<std::tuple<HKEY, REGSAM, std::wstring>> registryReads;
    std::vector<ShellCall> shellCalls;
    std::vector<std::wstring> ieLaunches;
    std::wstring findDocument;
    std::string findDocumentContent;
    bool findDocumentExisted = false;
    int beeps = 0;

    bool IsVistaOrLater() override { return vista; }
    bool IsWow64() override { return wow64; }
    std::wstring IEWriteableFolderPath(const KNOWNFOLDERID&) override
    {
        ++ieFolderAsks;
        return ieFolder;
    }
    std::wstring KnownFolderPath(const KNOWNFOLDERID& folder) override
    {
        knownFolderAsks.push_back(&folder);
        return knownFolder;
    }
    std::wstring AppDataFolder() override { return appDataFolder; }
    bool CreateFolderTree(const std::wstring& path) override
    {
        createdFolders.push_back(path);
        return createFolders && PlatformSystem::CreateFolderTree(path);
    }
    std::wstring ModuleFolder() override { return moduleFolder; }
    win::RegKey IEWriteableUserRoot() override
    {
        return ieUserRootPath.empty() ? win::RegKey() : win::OpenRegKey(HKEY_CURRENT_USER, ieUserRootPath);
    }
    HKEY CurrentUserRoot() override { return userRoot; }
    bool ReadRegistryText(HKEY root, const std::wstring& path, REGSAM view, std::wstring& value) override
    {
        registryReads.emplace_back(root, view, path);
        const auto found = registry.find({root, view, path});
        value = found == registry.end() ? std::wstring() : found->second;
        return found != registry.end();
    }
    std::wstring EnvironmentValue(const wchar_t* name) override
    {
        const auto found = environment.find(name);
        return found == environment.end() ? std::wstring() : found->second;
    }
    INT_PTR RunShellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, int show) override
    {
        shellCalls.push_back({verb ? verb : L"<null>", file ? file : L"<null>", parameters ? parameters : L"<null>", show});
        return shellResult;
    }
    // Records the document the shell is asked about and what it holds at that moment.
    INT_PTR FindExecutableFor(const wchar_t* document, std::wstring& executable) override
    {
        findDocument = document;
        const win::FileHandle file(::CreateFileW(document, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        findDocumentExisted = file.IsValid();
        char buffer[256] = {};
        DWORD read = 0;
        if (file && ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr))
        {
            findDocumentContent.assign(buffer, read);
        }
        executable = findResult > 32 ? foundExecutable : std::wstring();
        return findResult;
    }
    bool LaunchURLInIE(const wchar_t* url) override
    {
        ieLaunches.emplace_back(url);
        return ieLaunchSucceeds;
    }
    void Beep() override { ++beeps; }

private:
    std::map<std::tuple<HKEY, REGSAM, std::wstring>, std::wstring> registry;
};

} // namespace platform_tests
