#pragma once
// The command line of KelHost.exe and the lines of its command channel.

#include <string>
#include <string_view>
#include <vector>

namespace kelhost
{

struct HostOptions
{
    int tabs = 1;
    std::wstring progId = L"Kel.Norvix";
    std::wstring clsid;  // chosen over the ProgID when given
    bool noControl = false;
    std::wstring settingsFile;
    // The host's own work, which measurements of the control leave out: the 25 ms watch that reports what the
    // overlays show, and the button reports made around every toolbar message that changes a button.
    bool overlayWatch = true;
    bool buttonReports = true;
    // Loads ieframe.dll at start, as the browser the host stands in for has it loaded.
    bool browserFrame = true;
    bool help = false;
};

// Reads the arguments after the program name. False with a reason for an unknown option, a missing value or
// a tab count outside 0..32.
[[nodiscard]] bool ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options, std::wstring& error);

// One command line: the verb (lower case) and the rest of the line with surrounding blanks removed.
struct CommandLine
{
    std::wstring verb;
    std::wstring rest;
};
[[nodiscard]] CommandLine SplitCommand(std::wstring_view line);

// The first blank-separated word of `text` and what follows it (trimmed).
[[nodiscard]] std::pair<std::wstring, std::wstring> SplitWord(std::wstring_view text);

// A whole decimal number without sign in 0..maxValue; false for anything else.
[[nodiscard]] bool ParseCount(std::wstring_view text, unsigned long maxValue, unsigned long& value) noexcept;

[[nodiscard]] const wchar_t* HelpText() noexcept;

}  // namespace kelhost
