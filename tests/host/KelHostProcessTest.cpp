// KelHost.exe as a program: its command channel, and toolbar events that cross from one host process to
// another. The hosts run without a control; events are then reported per window.

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include "toolbar/HostToolbarInterface.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace
{

using testing_support::ChildProcess;

// Starting a program under Wine can take long on a busy machine; a generous deadline, not a timing.
constexpr unsigned kStartMs = 30000;

std::wstring KelHostCommand(const std::wstring& arguments)
{
    return L"\"" + testing_support::TestExecutableFolder() + L"..\\..\\stand-ins\\host\\KelHost.exe\" " + arguments;
}

// The number after `key=` in a line (hex with 0x), or 0.
ULONG_PTR ValueAfter(const std::string& line, const std::string& key)
{
    const size_t at = line.find(key + "=");
    return at == std::string::npos ? 0 : std::stoull(line.substr(at + key.size() + 1), nullptr, 0);
}

TEST(KelHostProcessTest, EventRaisedInOneHostReachesEveryWindowOfEveryHost)
{
    ChildProcess first;
    ChildProcess second;
    ASSERT_TRUE(first.Start(KelHostCommand(L"--no-control --tabs 2")));
    ASSERT_TRUE(second.Start(KelHostCommand(L"--no-control --tabs 1")));
    ASSERT_TRUE(first.WaitForLine("ready tabs=2", kStartMs));
    ASSERT_TRUE(second.WaitForLine("ready tabs=1", kStartMs));

    first.Send("event UpdateStatus");
    EXPECT_TRUE(first.WaitForLine("fire \"UpdateStatus\" windows=3"));
    EXPECT_TRUE(second.WaitForLine("tab 1 event \"UpdateStatus\" control=none"));
    ASSERT_TRUE(first.WaitForLine("ok event"));
    first.Send("wait 1");
    ASSERT_TRUE(first.WaitForLine("ok wait"));
    EXPECT_EQ(1u, first.CountLines("tab 1 event \"UpdateStatus\" control=none"));
    EXPECT_EQ(1u, first.CountLines("tab 2 event \"UpdateStatus\" control=none"));

    // A closed tab takes part no more; the other host still hears the event.
    second.Send("close 1");
    ASSERT_TRUE(second.WaitForLine("ok close 1"));
    second.Send("event Other \"quoted\"");
    EXPECT_TRUE(second.WaitForLine("fire \"Other \\\"quoted\\\"\" windows=2"));
    EXPECT_TRUE(first.WaitForLine("event \"Other \\\"quoted\\\"\" control=none"));

    first.CloseInput();
    second.CloseInput();
    EXPECT_EQ(0, first.WaitForExit());
    EXPECT_EQ(0, second.WaitForExit());
    EXPECT_EQ(1u, first.CountLines("bye"));
    EXPECT_EQ(1u, first.CountLines("tab 2 closed"));
}

TEST(KelHostProcessTest, WaitHoldsBackCommandsButNotEvents)
{
    ChildProcess waiting;
    ChildProcess firing;
    ASSERT_TRUE(waiting.Start(KelHostCommand(L"--no-control")));
    ASSERT_TRUE(firing.Start(KelHostCommand(L"--no-control --tabs 0")));
    ASSERT_TRUE(waiting.WaitForLine("ready tabs=1", kStartMs));
    ASSERT_TRUE(firing.WaitForLine("ready tabs=0", kStartMs));

    waiting.Send("wait 8000");
    waiting.Send("state 1");
    firing.Send("event DuringWait");
    ASSERT_TRUE(waiting.WaitForLine("tab 1 event \"DuringWait\" control=none"));
    EXPECT_EQ(0u, waiting.CountLines("ok wait"));
    EXPECT_EQ(0u, waiting.CountLines("state tab 1"));
    ASSERT_TRUE(waiting.WaitForLine("ok wait", 30000));
    EXPECT_TRUE(waiting.WaitForLine("ok state"));
}

TEST(KelHostProcessTest, CommandsAnswerOkOrErrorAndKeepTheHostRunning)
{
    ChildProcess host;
    ASSERT_TRUE(host.Start(KelHostCommand(L"--no-control")));
    ASSERT_TRUE(host.WaitForLine("ready tabs=1", kStartMs));
    struct Case
    {
        const char* command;
        const char* answer;
    };
    const Case cases[] = {
        {"click 1 search", "ok click 1 101 command"},
        {"click 1 spacer", "error click button disabled"},
        {"click 1 nothing", "error click no button \"nothing\""},
        {"click 7 search", "error click no tab \"7\""},
        {"hover 7 search", "error hover no tab \"7\""},
        {"close x", "error close no tab \"x\""},
        {"state 2", "error state no tab \"2\""},
        {"wait soon", "error wait expects milliseconds"},
        {"set nothing", "error set expects KEY=VALUE"},
        {"event", "error event bad name \"\""},
        {"pref colour red", "error pref unknown preference \"colour\""},
        {"fly", "error fly unknown command"},
        {"open", "ok open 2"},
        {"relayout 2", "ok relayout"},
        {"state", "ok state"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.command);
        host.Send(c.command);
        EXPECT_TRUE(host.WaitForLine(c.answer));
    }
    EXPECT_EQ(1u, host.CountLines("tab 1 command 101 CID_KEL_SEARCH"));
    EXPECT_EQ(1u, host.CountLines("tab 2 relayout result=0"));
    EXPECT_EQ(1u, host.CountLines("state tab 2 button 107 name=CID_KEL_OPTIONS"));
    EXPECT_EQ(7u, host.CountLines("state tab 1 button"));
    host.Send("quit");
    EXPECT_EQ(0, host.WaitForExit());
}

// The pointer goes where a user's would to see the button's tooltip, and the report says where that is.
TEST(KelHostProcessTest, HoverPutsThePointerOnTheMiddleOfTheButton)
{
    ChildProcess host;
    ASSERT_TRUE(host.Start(KelHostCommand(L"--no-control")));
    ASSERT_TRUE(host.WaitForLine("ready tabs=1", kStartMs));
    ASSERT_TRUE(::SetCursorPos(0, 0));
    host.Send("hover 1 options");
    std::string line;
    ASSERT_TRUE(host.WaitForLine("ok hover 1 107 ", 10000, &line));
    long x = 0, y = 0, left = 0, top = 0, right = 0, bottom = 0;
    ASSERT_EQ(6, std::sscanf(line.c_str(), "ok hover 1 107 x=%ld y=%ld rect=%ld,%ld,%ld,%ld", &x, &y, &left, &top,
                     &right, &bottom));
    EXPECT_LT(left, right);
    EXPECT_LT(top, bottom);
    EXPECT_EQ((left + right) / 2, x);
    EXPECT_EQ((top + bottom) / 2, y);
    POINT pointer{};
    ASSERT_TRUE(::GetCursorPos(&pointer));
    EXPECT_EQ(x, pointer.x);
    EXPECT_EQ(y, pointer.y);
    host.Send("quit");
    EXPECT_EQ(0, host.WaitForExit());
}

TEST(KelHostProcessTest, PreferenceIsWrittenWhereTheAddOnReadsIt)
{
    ChildProcess host;
    ASSERT_TRUE(host.Start(KelHostCommand(L"--no-control")));
    ASSERT_TRUE(host.WaitForLine("ready", kStartMs));
    host.Send("pref textlabels 0");
    ASSERT_TRUE(host.WaitForLine("ok pref textlabels \"0\""));
    {
        const win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, L"Software\\KelToolbar\\Prefs");
        std::wstring value;
        ASSERT_TRUE(key && win::ReadRegString(key.Get(), L"TextLabels", value));
        EXPECT_EQ(L"0", value);
    }
    EXPECT_TRUE(win::DeleteRegTree(HKEY_CURRENT_USER, L"Software\\KelToolbar\\Prefs"));
}

TEST(KelHostProcessTest, AttributeMessageFromAnotherProcessIsRefusedWithoutHarm)
{
    ChildProcess host;
    ASSERT_TRUE(host.Start(KelHostCommand(L"--no-control")));
    std::string opened;
    ASSERT_TRUE(host.WaitForLine("tab 1 open", kStartMs, &opened));
    const HWND toolbar = reinterpret_cast<HWND>(ValueAfter(opened, "toolbar"));
    ASSERT_TRUE(::IsWindow(toolbar));

    // The address means nothing in the host's process.
    static const wchar_t text[] = LR"(title="from afar")";
    DWORD_PTR answer = 99;
    ASSERT_TRUE(::SendMessageTimeoutW(toolbar, host::kMsgSetAttribute, 106, reinterpret_cast<LPARAM>(text),
        SMTO_NORMAL, 10000, &answer));
    EXPECT_EQ(FALSE, answer);
    host.Send("state 1");
    EXPECT_TRUE(host.WaitForLine("ok state"));
    EXPECT_EQ(0u, host.CountLines("from afar"));
}

TEST(KelHostProcessTest, StartFailuresAreReported)
{
    testing_support::TempFolder folder;
    {
        ChildProcess host;
        ASSERT_TRUE(host.Start(KelHostCommand(L"--settings \"" + folder.File(L"missing.txt") + L"\"")));
        EXPECT_EQ(1, host.WaitForExit(kStartMs));
        EXPECT_EQ(1u, host.CountLines("error settings cannot read"));
    }
    {
        ChildProcess host;
        ASSERT_TRUE(host.Start(KelHostCommand(L"--tabs many")));
        EXPECT_EQ(2, host.WaitForExit(kStartMs));
    }
    {
        // An unknown control leaves the tab open without one.
        std::ofstream(win::WideToAnsi(folder.File(L"settings.txt"))) << "KelTb.Str.X=1\nbroken\n";
        ChildProcess host;
        ASSERT_TRUE(host.Start(
            KelHostCommand(L"--progid No.Such.Control --settings \"" + folder.File(L"settings.txt") + L"\"")));
        EXPECT_TRUE(host.WaitForLine("settings skipped \"line 2: broken\""));
        EXPECT_TRUE(host.WaitForLine("error control class \"No.Such.Control\" hr=0x800401F3"));
        EXPECT_TRUE(host.WaitForLine("ready tabs=1", kStartMs));
        host.Send("event UpdateStatus");
        EXPECT_TRUE(host.WaitForLine("tab 1 event \"UpdateStatus\" control=none"));
    }
}

} // namespace
