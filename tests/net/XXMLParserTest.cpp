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
    std::wstring open;
    std::wstring close;
    for (int i = 0; i < depth; ++i)
    {
        open += L"<n>";
        close += L"</n>";
    }
    return open + close;
}

TEST_F(XXMLParserTest, UnusableTextsGiveNoDocument)
{
    struct Case
    {
        std::wstring text;
        bool document;  // whether MSXML was reached
    };
    const testing_support::ExpectFailureReports expected{
        "refused before parsing", "XXMLParser::Load: no text", "not XML"};
    for (const Case& c : {
             Case{Nested(net::XXMLParser::kMaxDepth + 1), false},
             Case{L"", false},
             Case{L"<?xml version=\"1.0\"?><!DOCTYPE response [<!ENTITY g \"green\">]><response/>", false},
             Case{L"<!doctype response><response/>", false},
             Case{L"<response><!-- <!DocType x> --></response>", false},
             Case{L"<response><vdf_status>green</vdf_status>", true},
             Case{L"green", true},
             Case{L"<response/><response/>", true},
         })
    {
        SCOPED_TRACE(testing::Message() << c.text.substr(0, 60));
        ASSERT_TRUE(m_parser.Load(Nested(net::XXMLParser::kMaxDepth)));
        EXPECT_FALSE(m_parser.Load(c.text));
        EXPECT_EQ(m_parser.HasDocument(), c.document);
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
    struct Case
    {
        const wchar_t* text;
        bool deeperThanTwo;
    };
    for (const Case c : {
             Case{L"<a><b></b><b>text > more</b></a>", false},
             Case{L"<a><b><c></c></b></a>", true},
             Case{L"<a><b><c/></b></a>", false},
             Case{L"<a><b><c /></b><b><c\n/></b></a>", false},
             Case{L"<a><!-- <b><c> --><b/></a>", false},
             Case{L"<a><!-- <b> --><b><c></c></b></a>", true},
             Case{L"<a><b><![CDATA[<c><d>]]></b></a>", false},
             Case{L"<?xml version=\"1.0\"?><?note <a><b><c>?><a><b/></a>", false},
             Case{L"<a x=\"/>\"><b y='>'><c/></b></a>", false},
             Case{L"<a x=\"/>\"><b y='>'><c></c></b></a>", true},
             Case{L"<a x='\"'><b y=\"'\"><c></c></b></a>", true},
             Case{L"</a></a></a><a><b/></a>", false},
             Case{L"<a><b><c", false},
         })
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(net::XXMLParser::NestsDeeperThan(c.text, 2), c.deeperThanTwo);
    }
}
