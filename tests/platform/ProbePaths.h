#pragma once
// Where the test executable finds the modules built for it.

#include "win/Module.h"

#include <string>

namespace platform_tests
{

// VersionProbe.dll, built next to the test executable: file and product version 8.0.6001.18702, string
// tables for US English (first translation) and German.
inline std::wstring VersionProbePath()
{
    return win::FolderOf(win::ModuleFileName(nullptr)) + L"VersionProbe.dll";
}

} // namespace platform_tests
