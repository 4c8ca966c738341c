#include "win/Strings.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{

TEST(ParseDecimalTest, ReadsLikeWcstolBaseTen)
{
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"45", 45}, {L"45ms", 45}, {L"  \t\n45", 45}, {L"+7", 7}, {L"-12x", -12}, {L"", 0}, {L"abc", 0}, {L"-", 0},
        {L" - 5", 0}, {L"0x1F", 0}, {L"007", 7}, {L"2147483647", INT_MAX}, {L"2147483648", INT_MAX},
        {L"99999999999999999999999", INT_MAX}, {L"-2147483648", INT_MIN}, {L"-2147483649", INT_MIN},
        {L"-99999999999999999999999", INT_MIN}, {L"1\x0661", 1},  // a non-ASCII digit ends the number
    };
    for (const auto& [text, expected] : cases)
    {
        SCOPED_TRACE(::testing::Message() << "text \"" << win::WideToAnsi(text, CP_UTF8) << "\"");
        EXPECT_EQ(expected, win::ParseDecimal(text));
    }
}

TEST(ReplaceAllTest, ScansLeftToRightWithoutRescanningReplacements)
{
    EXPECT_EQ(L"a203b203", win::ReplaceAll(L"aBUT_IDbBUT_ID", L"BUT_ID", L"203"));
    EXPECT_EQ(L"xx", win::ReplaceAll(L"aaaa", L"aa", L"x"));
    EXPECT_EQ(L"aXa", win::ReplaceAll(L"aXa", L"", L"zz"));
    EXPECT_EQ(L"bb", win::ReplaceAll(L"a", L"a", L"bb"));
    EXPECT_EQ(L"ab", win::ReplaceAll(L"ab", L"but_id", L"1"));  // matching is case-sensitive
    EXPECT_EQ(L"aab", win::ReplaceAll(L"ab", L"a", L"aa"));
}

TEST(FormatTest, FormatsWideTextsAndNumbersAndGrowsPastItsFirstBuffer)
{
    EXPECT_EQ(
        L"toolbar.FireEvent(\"UpdateStatus\", 1)", win::Format(L"toolbar.FireEvent(\"%ls\", %d)", L"UpdateStatus", 1));
    const std::wstring longText(1000, L'x');
    EXPECT_EQ(L"[" + longText + L"]", win::Format(L"[%ls]", longText.c_str()));
}

}  // namespace
