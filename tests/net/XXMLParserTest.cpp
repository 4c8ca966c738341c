#include "net/XXMLNodeArray.h"
#include "net/XXMLParser.h"

#include "support/FailureReports.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

class XXMLParserTest : public ::testing::Test
{
protected:
    win::ComInit m_com;
    net::XXMLParser m_parser;
    net::XXMLNodeArray m_nodes;

    void Request(std::initializer_list<const wchar_t*> names)
    {
        m_nodes.RemoveAll();
        for (const wchar_t* name : names)
        {
            m_nodes.Add(new net::XXMLNode(name));
        }
    }
};

}  // namespace

// An element `depth` levels deep, each level a start and an end tag.
std::wstring Nested(int depth)
{
    std::wstring nested;
    for (int i = 0; i < depth; ++i)
    {
        nested = L"<n>" + nested + L"</n>";
    }
    return nested;
}

TEST_F(XXMLParserTest, UnusableTextsGiveNoDocument)
{
    const testing_support::ExpectFailureReports expected{
        "refused before parsing", "XXMLParser::Load: no text", "not XML"};
    // The second of each pair: whether MSXML was reached.
    for (const auto& [text, document] : {std::pair{Nested(net::XXMLParser::kMaxDepth + 1), false}, {L"", false},
             {L"<?xml version=\"1.0\"?><!DOCTYPE response [<!ENTITY g \"green\">]><response/>", false},
             {L"<!doctype response><response/>", false}, {L"<response><!-- <!DocType x> --></response>", false},
             {L"<response><vdf_status>green</vdf_status>", true}, {L"green", true}, {L"<response/><response/>", true}})
    {
        SCOPED_TRACE(testing::Message() << text.substr(0, 60));
        ASSERT_TRUE(m_parser.Load(Nested(net::XXMLParser::kMaxDepth)));
        EXPECT_FALSE(m_parser.Load(text));
        EXPECT_EQ(m_parser.HasDocument(), document);
        Request({L"vdf_status"});
        EXPECT_FALSE(m_parser.FindNodes(L"response", m_nodes));
    }
}

// The document is made in the caller's apartment; a thread that has none gets no document and is told why.
TEST_F(XXMLParserTest, ATextOnAThreadWithoutAnApartmentIsNotParsed)
{
    const testing_support::ExpectFailureReports expected{"::CoGetApartmentType(&apartment, &qualifier): 0x800401F0"};
    BOOL loaded = TRUE;
    std::thread([&] { loaded = m_parser.Load(L"<response/>"); }).join();
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(m_parser.HasDocument());
    EXPECT_TRUE(m_parser.Load(L"<response/>"));
}

TEST(XXMLParserDepthTest, OnlyElementsNestAndMarkupInsideOtherMarkupDoesNotCount)
{
    for (const auto& [text, deeperThanTwo] : std::initializer_list<std::pair<const wchar_t*, bool>>{
             {L"<a><b></b><b>text > more</b></a>", false},
             {L"<a><b><c></c></b></a>", true},
             {L"<a><b><c/></b></a>", false},
             {L"<a><b><c /></b><b><c\n/></b></a>", false},
             {L"<a><!-- <b><c> --><b/></a>", false},
             {L"<a><!-- <b> --><b><c></c></b></a>", true},
             {L"<a><b><![CDATA[<c><d>]]></b></a>", false},
             {L"<?xml version=\"1.0\"?><?note <a><b><c>?><a><b/></a>", false},
             {L"<a x=\"/>\"><b y='>'><c/></b></a>", false},
             {L"<a x=\"/>\"><b y='>'><c></c></b></a>", true},
             {L"<a x='\"'><b y=\"'\"><c></c></b></a>", true},
             {L"</a></a></a><a><b/></a>", false},
             {L"<a><b><c", false},
         })
    {
        SCOPED_TRACE(text);
        EXPECT_EQ(net::XXMLParser::NestsDeeperThan(text, 2), deeperThanTwo);
    }
}
