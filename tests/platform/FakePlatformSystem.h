#pragma once
// A PlatformSystem whose steps answer from its fields and record how they were called. Folder creation goes
// to the real system unless createFolders is false; registry texts come from `registry` only.

#include "platform/PlatformSystem.h"
#include "win/File.h"
#include "win/Registry.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace platform_tests
{

struct FakePlatformSystem : platform::PlatformSystem
{
    bool vista = true, wow64 = false, createFolders = true;
    std::wstring ieFolder, knownFolder, appDataFolder, moduleFolder = L"C:\\Module\\";
    std::wstring ieUserRootPath;  // below HKCU; "" for none
    HKEY userRoot = nullptr;  // not owned
    std::map<std::tuple<HKEY, REGSAM, std::wstring>, std::wstring> registry;  // default values by root, view, path
    std::map<std::wstring, std::wstring> environment;
    int ieFolderAsks = 0;
    std::vector<const KNOWNFOLDERID*> knownFolderAsks;
    std::vector<std::wstring> createdFolders;

    bool IsVistaOrLater() override { return vista; }
    bool IsWow64() override { return wow64; }
    std::wstring IEWriteableFolderPath(const KNOWNFOLDERID&) override { return ++ieFolderAsks, ieFolder; }
    std::wstring KnownFolderPath(const KNOWNFOLDERID& id) override
    {
        return knownFolderAsks.push_back(&id), knownFolder;
    }
    std::wstring AppDataFolder() override { return appDataFolder; }
    std::wstring ModuleFolder() override { return moduleFolder; }
    bool CreateFolderTree(const std::wstring& path) override
    {
        createdFolders.push_back(path);
        return createFolders && platform::PlatformSystem::CreateFolderTree(path);
    }
    win::RegKey IEWriteableUserRoot() override
    {
        return ieUserRootPath.empty() ? win::RegKey() : win::OpenRegKey(HKEY_CURRENT_USER, ieUserRootPath);
    }
    HKEY CurrentUserRoot() override { return userRoot; }
    bool ReadRegistryText(HKEY root, const std::wstring& path, REGSAM view, std::wstring& value) override
    {
        const auto found = registry.find({root, view, path});
        value = found == registry.end() ? std::wstring() : found->second;
        return found != registry.end();
    }
    std::wstring EnvironmentValue(const wchar_t* name) override
    {
        const auto found = environment.find(name);
        return found == environment.end() ? std::wstring() : found->second;
    }
};

}  // namespace platform_tests
