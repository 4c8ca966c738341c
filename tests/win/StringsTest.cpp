#include "win/Strings.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{

TEST(ParseDecimalTest, ReadsLikeWcstolBaseTen)
{
    struct Case
    {
        const wchar_t* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {L"45", 45},
        {L"45ms", 45},
        {L"  \t\n45", 45},
        {L"+7", 7},
        {L"-12x", -12},
        {L"", 0},
        {L"abc", 0},
        {L"-", 0},
        {L" - 5", 0},
        {L"0x1F", 0},
        {L"007", 7},
        {L"2147483647", INT_MAX},
        {L"2147483648", INT_MAX},
        {L"99999999999999999999999", INT_MAX},
        {L"-2147483648", INT_MIN},
        {L"-2147483649", INT_MIN},
        {L"-99999999999999999999999", INT_MIN},
        {L"1\x0661", 1},  // a non-ASCII digit ends the number
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "text \"" << win::WideToAnsi(c.text, CP_UTF8) << "\"");
        EXPECT_EQ(c.expected, win::ParseDecimal(c.text));
    }
}

TEST(CodePageConversionTest, RoundTripsThroughUtf8AndStopsAtZeroByte)
{
    const std::wstring text = L"Gr\u00fc\u00dfe \u20ac";
    const std::string utf8 = win::WideToAnsi(text, CP_UTF8);
    EXPECT_EQ("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac", utf8);
    EXPECT_EQ(text, win::AnsiToWide(utf8, CP_UTF8));
    EXPECT_EQ(L"ab", win::AnsiToWide(std::string_view("ab\0cd", 5), CP_UTF8));
    EXPECT_EQ(L"", win::AnsiToWide("", CP_UTF8));
    EXPECT_EQ("", win::WideToAnsi(L"", CP_UTF8));
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
    EXPECT_EQ(L"toolbar.FireEvent(\"UpdateStatus\", 1)",
        win::Format(L"toolbar.FireEvent(\"%ls\", %d)", L"UpdateStatus", 1));
    const std::wstring longText(1000, L'x');
    EXPECT_EQ(L"[" + longText + L"]", win::Format(L"[%ls]", longText.c_str()));
}

TEST(CaseTest, ComparesAndConvertsWithoutRegardToCase)
{
    EXPECT_TRUE(win::EqualsNoCase(L"UpdateStatus", L"updatestatus"));
    EXPECT_FALSE(win::EqualsNoCase(L"UpdateStatus", L"UpdateStatu"));
    EXPECT_TRUE(win::EqualsNoCase(L"", L""));
    EXPECT_EQ(L"{ABC-DEF}", win::ToUpper(L"{abc-Def}"));
    EXPECT_EQ(L"green", win::ToLower(L"GrEEN"));
    EXPECT_EQ(L"a b", win::Trim(L" \t a b \r\n"));
}

} // namespace
