#pragma once
// A PlatformSystem whose steps answer from its fields and record how they were called. Folder creation goes
// to the real system unless createFolders is false.

#include "platform/PlatformSystem.h"
#include "win/File.h"
#include "win/Registry.h"

#include <string>
#include <vector>

namespace platform_tests
{

struct FakePlatformSystem : platform::PlatformSystem
{
    bool vista = true, createFolders = true;
    std::wstring ieFolder, knownFolder, appDataFolder, moduleFolder = L"C:\\Module\\";
    std::wstring ieUserRootPath;  // below HKCU; "" for none
    HKEY userRoot = nullptr;  // not owned
    int ieFolderAsks = 0;
    std::vector<const KNOWNFOLDERID*> knownFolderAsks;

    bool IsVistaOrLater() override { return vista; }
    std::wstring IEWriteableFolderPath(const KNOWNFOLDERID&) override { return ++ieFolderAsks, ieFolder; }
    std::wstring KnownFolderPath(const KNOWNFOLDERID& id) override
    {
        return knownFolderAsks.push_back(&id), knownFolder;
    }
    std::wstring AppDataFolder() override { return appDataFolder; }
    std::wstring ModuleFolder() override { return moduleFolder; }
    bool CreateFolderTree(const std::wstring& path) override
    {
        return createFolders && platform::PlatformSystem::CreateFolderTree(path);
    }
    win::RegKey IEWriteableUserRoot() override
    {
        return ieUserRootPath.empty() ? win::RegKey() : win::OpenRegKey(HKEY_CURRENT_USER, ieUserRootPath);
    }
    HKEY CurrentUserRoot() override { return userRoot; }
};

}  // namespace platform_tests
