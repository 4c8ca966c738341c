// The test control in a COM server of its own, registered in the test prefix and created, unlocked,
// started, clicked, messaged and released by KelHost.exe through COM, as the real host treats a control.

#include "support/ChildProcess.h"
#include "win/Handle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{

#ifdef KELHOST_EXE

// Wine maps the build machine's root to drive Z:.
std::wstring WindowsPath(const char* path)
{
    std::wstring result = L"Z:";
    for (const char* c = path; *c; ++c)
    {
        result += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return result;
}

using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

class HostedControlTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_module = ::LoadLibraryW(WindowsPath(TOOLBAR_TEST_CONTROL_DLL).c_str());
        ASSERT_NE(nullptr, s_module);
        const auto registerServer = reinterpret_cast<RegisterFunction>(
            reinterpret_cast<void *>(::GetProcAddress(s_module, "DllRegisterServer")));
        ASSERT_NE(nullptr, registerServer);
        ASSERT_EQ(S_OK, registerServer());
    }

    static void TearDownTestSuite()
    {
        if (s_module)
        {
            const auto unregisterServer = reinterpret_cast<RegisterFunction>(
                reinterpret_cast<void*>(::GetProcAddress(s_module, "DllUnregisterServer")));
            EXPECT_EQ(S_OK, unregisterServer());
            ::FreeLibrary(s_module);
            s_module = nullptr;
        }
    }

    void TearDown() override
    {
        if (HasFailure())
        {
            for (const std::string& line : host.Lines())
            {
                std::printf("host: %s\n", line.c_str());
            }
        }
    }

    void StartHost(int tabs)
    {
        const std::wstring commandLine = L"\"" + WindowsPath(KELHOST_EXE) +
                                         L"\" --progid KelToolbarTest.Control --tabs " + std::to_wstring(tabs);
        ASSERT_TRUE(host.Start(commandLine));
        std::string ready = "ready tabs=";
        ready += std::to_string(tabs);
        ASSERT_TRUE(host.WaitForLine(ready, 30000));
    }

    void ExpectLine(const std::string& text)
    {
        std::string found;
        EXPECT_TRUE(host.WaitForLine(text, 15000, &found)) << "no line with: " << text;
    }

    static HMODULE s_module;
    testing_support::ChildProcess host;
};

HMODULE HostedControlTest::s_module = nullptr;

TEST_F(HostedControlTest, HostCreatesUnlocksStartsDrivesAndReleasesTheControl)
{
    StartHost(1);
    EXPECT_EQ(1u, host.CountLines("tab 1 control created"));
    EXPECT_EQ(1u, host.CountLines("tab 1 unlock hr=0x00000000"));
    EXPECT_EQ(1u, host.CountLines("tab 1 startup hr=0x00000000 result=0x00000000"));
    EXPECT_EQ(1u, host.CountLines("tab 1 attribute 102 \"title=\\\"Test\\\"\""));

    host.Send("state 1");
    std::string status;
    ASSERT_TRUE(host.WaitForLine("state tab 1 button 103", 15000, &status));
    EXPECT_NE(std::string::npos, status.find("overlay=1")) << status;
    EXPECT_NE(std::string::npos, status.find("enabled=0")) << status;

    host.Send("click 1 pavise");
    ExpectLine("tab 1 navigate url=\"http://127.0.0.1/clicked/CID_PAVISE_STATUS\"");

    host.Send("relayout 1");
    ExpectLine("tab 1 relayout result=1");

    host.Send("event Ping");
    ExpectLine("tab 1 fire \"Pong\" 2");
    ExpectLine("tab 1 event \"Pong\" hr=0x00000000 result=0x00000000");
    EXPECT_EQ(0u, host.CountLines("Bad"));

    host.Send("close 1");
    ExpectLine("tab 1 control released");
    ExpectLine("tab 1 closed");
    host.Send("quit");
    ExpectLine("bye");
    EXPECT_EQ(0, host.WaitForExit(15000));
}

TEST_F(HostedControlTest, OnlyTheFirstControlOfTheProcessRunsThePostStartUp)
{
    StartHost(2);
    EXPECT_EQ(1u, host.CountLines("tab 2 startup hr=0x00000000 result=0x00000000"));
    host.Send("open");
    ExpectLine("tab 3 startup hr=0x00000000 result=0x00000000");
    host.Send("quit");
    ExpectLine("bye");
    EXPECT_EQ(1u, host.CountLines("\"tooltip=\\\"first start\\\"\""));
    EXPECT_EQ(0, host.WaitForExit(15000));
}

#endif

} // namespace
