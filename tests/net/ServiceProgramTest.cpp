#include "net/APIDispatcher.h"
#include "net/XHttpAccess.h"
#include "support/ChildProcess.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::wstring ServiceProgram()
{
    return L"\"" + testing_support::TestExecutableFolder() + L"..\\..\\stand-ins\\service\\NorvixService.exe\"";
}

std::wstring Control(const std::wstring& base, const std::wstring& request)
{
    std::wstring answer;
    EXPECT_TRUE(XHttpAccess::Get(base + request, L"test", TRUE, nullptr, TRUE, answer));
    return answer;
}

} // namespace

TEST(ServiceProgramTest, ServesTheStateItWasGivenAndStopsOnRequest)
{
    testing_support::ChildProcess program;
    ASSERT_TRUE(program.Start(ServiceProgram() + L" --port 0 --definitions red --protection disabled --quiet"));
    std::string line;
    ASSERT_TRUE(program.WaitForLine("listening on 127.0.0.1:", 30000, &line));
    const std::wstring base =
        L"http://127.0.0.1:" + std::to_wstring(std::stoi(line.substr(line.rfind(':') + 1))) + L"/";

    testing_support::FakeHostStrings host;
    host.Set(L"KelTb.Url.Norvix.API", base);
    APIDispatcher api;
    api.Initialize(&host);
    ASSERT_TRUE(api.QueryStatus());
    EXPECT_EQ(api.GetNorvixStatus(), NorvixStatus::Update);
    EXPECT_EQ(api.GetPaviseStatus(), PaviseStatus::Deactivated);

    EXPECT_EQ(Control(base, L"control/set?definitions=green&protection=enabled"),
              L"definitions green\r\nprotection enabled\r\n");
    Control(base, L"control/fault?mode=500");
    EXPECT_FALSE(api.QueryStatus());
    Control(base, L"control/fault?mode=none");
    ASSERT_TRUE(api.QueryStatus());
    EXPECT_EQ(api.GetNorvixStatus(), NorvixStatus::Uptodate);
    EXPECT_NE(Control(base, L"control/stats").find(L"path /GetStatus 3\r\n"), std::wstring::npos);

    Control(base, L"control/quit");
    EXPECT_EQ(program.WaitForExit(30000), 0);
}

TEST(ServiceProgramTest, RefusesOptionsItDoesNotKnow)
{
    for (const wchar_t* arguments : {L" --port 70000", L" --fault sometimes", L" --colour blue", L" --port"})
    {
        SCOPED_TRACE(arguments);
        testing_support::ChildProcess program;
        ASSERT_TRUE(program.Start(ServiceProgram() + arguments));
        EXPECT_EQ(program.WaitForExit(30000), 2);
    }
}
